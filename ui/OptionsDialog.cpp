#include "ui/OptionsDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace tarvik::ui {
namespace {

QColor ColourOf(std::int32_t bgr) {
    const auto value = static_cast<std::uint32_t>(bgr);
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

std::int32_t BgrOf(const QColor& colour) {
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(colour.blue()) << 16) |
                                     (static_cast<std::uint32_t>(colour.green()) << 8) |
                                     static_cast<std::uint32_t>(colour.red()));
}

void PaintColourButton(QPushButton& button, std::int32_t bgr) {
    const QColor colour = ColourOf(bgr);
    button.setText(colour.name(QColor::HexRgb).toUpper());
    button.setStyleSheet(QStringLiteral("background-color: %1;").arg(colour.name()));
}

}  // namespace

int SnapHelpPaneHeight(int height) {
    constexpr int kLine = 13;
    constexpr int kMargin = 6;
    constexpr int kSmallest = 19;
    if (height < kSmallest) return 0;
    return (height - kMargin + kLine / 2) / kLine * kLine + kMargin;
}

OptionsDialog::OptionsDialog(COptionsEditor& editor, IConfirmBoxes& confirm, QWidget* parent)
    : QDialog(parent),
      editor_(editor),
      confirm_(confirm),
      list_(new QTreeWidget),
      help_(new QPlainTextEdit),
      splitter_(new QSplitter(Qt::Vertical)),
      restore_(new QPushButton(QStringLiteral("Restore Defaults..."))),
      close_(new QPushButton(QStringLiteral("Close"))) {
    setObjectName(QStringLiteral("optionsDialog"));
    setWindowTitle(QStringLiteral("Options"));
    list_->setColumnCount(2);
    list_->setHeaderLabels({QStringLiteral("Property"), QStringLiteral("Value")});
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    list_->header()->setStretchLastSection(true);
    help_->setReadOnly(true);

    splitter_->addWidget(list_);
    splitter_->addWidget(help_);
    splitter_->setStretchFactor(0, 1);
    splitter_->setCollapsible(1, true);
    splitter_->setSizes({360, SnapHelpPaneHeight(58)});
    connect(splitter_, &QSplitter::splitterMoved, this, [this] {
        const QList<int> sizes = splitter_->sizes();
        const int pane = SnapHelpPaneHeight(sizes[1]);
        if (pane != sizes[1]) splitter_->setSizes({sizes[0] + sizes[1] - pane, pane});
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(restore_);
    buttons->addStretch();
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter_);
    layout->addLayout(buttons);
    resize(560, 520);

    BuildList();
    ShowValues();
    connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        for (const PropertyRow& row : rows_) {
            if (row.item == item) {
                help_->setPlainText(QString::fromUtf8(row.property->help));
                return;
            }
        }
        help_->clear();
    });
    connect(restore_, &QPushButton::clicked, this, &OptionsDialog::OnRestoreDefaults);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
}

QTreeWidgetItem* OptionsDialog::Row(const QString& label) const {
    for (const PropertyRow& row : rows_) {
        if (label == QString::fromUtf8(row.property->label)) return row.item;
    }
    return nullptr;
}

QWidget* OptionsDialog::Editor(const QString& label) const {
    for (const PropertyRow& row : rows_) {
        if (label == QString::fromUtf8(row.property->label)) return row.editor;
    }
    return nullptr;
}

// Categories are top-level rows; an indented property hangs below the
// switch before it.
void OptionsDialog::BuildList() {
    QTreeWidgetItem* category = nullptr;
    QTreeWidgetItem* lastSwitch = nullptr;
    for (const OptionProperty& property : GetProperties()) {
        const QString label = QString::fromUtf8(property.label);
        if (property.kind == OptionKind::Category) {
            category = new QTreeWidgetItem(list_, {label});
            QFont bold = category->font(0);
            bold.setBold(true);
            category->setFont(0, bold);
            category->setFirstColumnSpanned(true);
            lastSwitch = nullptr;
            continue;
        }
        QTreeWidgetItem* parent = property.indented && lastSwitch ? lastSwitch : category;
        auto* item = new QTreeWidgetItem(parent, {label});
        item->setToolTip(0, QString::fromUtf8(property.help));
        if (!property.indented) lastSwitch = item;
        QWidget* editor = CreateEditor(property);
        list_->setItemWidget(item, 1, editor);
        rows_.push_back({&property, item, editor});
    }
    list_->expandAll();
}

QWidget* OptionsDialog::CreateEditor(const OptionProperty& property) {
    switch (property.kind) {
        case OptionKind::Switch: {
            auto* box = new QCheckBox;
            connect(box, &QCheckBox::toggled, this,
                    [this, &property](bool on) { Commit(property, on ? 1 : 0); });
            return box;
        }
        case OptionKind::Choice: {
            auto* combo = new QComboBox;
            for (const OptionChoice& choice : property.choices) {
                combo->addItem(QString::fromUtf8(choice.text), choice.value);
            }
            connect(combo, &QComboBox::activated, this, [this, &property, combo](int index) {
                Commit(property, combo->itemData(index).toInt());
            });
            return combo;
        }
        case OptionKind::Colour:
            return CreateColourEditor(property);
        case OptionKind::Number:
        case OptionKind::Category:
            break;
    }
    return CreateNumberEditor(property);
}

QWidget* OptionsDialog::CreateNumberEditor(const OptionProperty& property) {
    auto* holder = new QWidget;
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* edit = new QLineEdit;
    edit->setObjectName(QStringLiteral("number"));
    layout->addWidget(edit, 1);
    if (*property.unit != '\0') layout->addWidget(new QLabel(QString::fromUtf8(property.unit)));
    connect(edit, &QLineEdit::editingFinished, this,
            [this, &property, edit] { CommitNumberText(property, edit->text()); });
    return holder;
}

QWidget* OptionsDialog::CreateColourEditor(const OptionProperty& property) {
    auto* button = new QPushButton;
    connect(button, &QPushButton::clicked, this, [this, &property] {
        const QColor chosen = QColorDialog::getColor(ColourOf(editor_.ValueOf(property)), this);
        if (chosen.isValid()) Commit(property, BgrOf(chosen));
    });
    return button;
}

void OptionsDialog::Commit(const OptionProperty& property, std::int32_t value) {
    editor_.CommitValue(property, value);
    ShowValues();
}

// Text that does not parse or lies outside the limits is refused: the old
// value comes back.
void OptionsDialog::CommitNumberText(const OptionProperty& property, const QString& text) {
    if (editor_.CommitText(property, text.toStdString()) == RES_OPTION_REFUSED) {
        QApplication::beep();
    }
    ShowValues();
}

void OptionsDialog::ShowValues() {
    for (const PropertyRow& row : rows_) ShowValue(row);
}

void OptionsDialog::ShowValue(const PropertyRow& row) {
    const OptionProperty& property = *row.property;
    const std::int32_t value = editor_.ValueOf(property);
    const bool enabled = editor_.IsEnabled(property);
    row.item->setDisabled(!enabled);
    row.editor->setEnabled(enabled);
    const QSignalBlocker quiet(row.editor);
    switch (property.kind) {
        case OptionKind::Switch:
            static_cast<QCheckBox*>(row.editor)->setChecked(value != 0);
            break;
        case OptionKind::Choice: {
            auto* combo = static_cast<QComboBox*>(row.editor);
            combo->setCurrentIndex(combo->findData(value));
            break;
        }
        case OptionKind::Colour:
            PaintColourButton(*static_cast<QPushButton*>(row.editor), value);
            break;
        case OptionKind::Number:
        case OptionKind::Category: {
            auto* edit = row.editor->findChild<QLineEdit*>(QStringLiteral("number"));
            const QSignalBlocker quietEdit(edit);
            edit->setText(QString::number(value));
            break;
        }
    }
}

// On Yes the list shows the defaults; nothing else happens until the next
// accepted change.
void OptionsDialog::OnRestoreDefaults() {
    editor_.RestoreDefaults(confirm_);
    ShowValues();
}

}  // namespace tarvik::ui
