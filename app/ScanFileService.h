// The open scan file as the main window's start-up, auto-save timer,
// shut-down and File menu see it. The scan-file commands implement it; until
// they are attached the window has no file to save or close.
#pragma once

#include <optional>

namespace tarvik {

struct FileCommandState {
    bool enabled = false;
    bool checked = false;
};

class IScanFileService {
  public:
    virtual ~IScanFileService() = default;
    virtual bool IsFileOpen() const = 0;
    virtual bool IsAutoSaveOn() const = 0;
    // Saves the list to the open file.
    virtual void SaveOpenFile() = 0;
    // Closes the open file, saving it without asking when `saveWithoutAsking`
    // (else the user is asked). False when the user cancelled or the save
    // failed (the file is closed then all the same).
    virtual bool CloseFile(bool saveWithoutAsking) = 0;
    // "Save As": asks for a file name and saves. False when cancelled or
    // the file could not be written.
    virtual bool SaveAs() = 0;
    // The File menu's items other than Exit: their state, nullopt for any
    // other command.
    virtual std::optional<FileCommandState> QueryFileCommand(int /*id*/) const {
        return std::nullopt;
    }
    virtual void ExecuteFileCommand(int /*id*/) {}
};

}  // namespace tarvik
