// File > Export...'s questions: a small dialog choosing the format (and,
// while a result filter is set, whether only the rows it passes go), then a
// file-save dialog for that format's files.
#pragma once

#include <QWidget>
#include <optional>

#include "app/ScanFileDialogs.h"

namespace tarvik::ui {

// The format chooser, then the file dialog proposing the file named after
// `surveyPath` (ProposedExportPath).
std::optional<ExportChoice> AskExportChoice(QWidget* window, bool filterActive,
                                            const std::string& surveyPath);

}  // namespace tarvik::ui
