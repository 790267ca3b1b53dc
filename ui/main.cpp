// tarvik: the crash handler and the single-instance check first, then the Qt
// objects with the application shell over them, and the event loop. The
// process ends when the main window has ended.
#include <QApplication>
#include <QMessageBox>
#include <cstring>

#include "app/SingleInstanceCheck.h"
#include "core/EventLog.h"
#include "core/ExecutablePath.h"
#include "platform/CrashHandler.h"
#include "platform/SingleInstance.h"
#include "ui/GuiProgram.h"
#include "ui/SignalPipe.h"

namespace {

constexpr const char* kCrashMessageFlag = "--crash-message";

// Started by the crash handler of a dying copy: tell the user, then go.
int ShowCrashMessage(int argc, char** argv) {
    QApplication app(argc, argv);
    QMessageBox::critical(nullptr, tarvik::kCrashMessageCaption, tarvik::kCrashMessageText);
    return 0;
}

int RunProgram(int argc, char** argv, tarvik::CSingleInstance& instance) {
    QApplication app(argc, argv);
    // Hidden in the tray or behind a closed dialog, the program still runs:
    // only the main window's end ends it.
    app.setQuitOnLastWindowClosed(false);
    app.setWindowIcon(tarvik::ui::TarvikIcon());

    tarvik::ui::GuiProgram program;
    tarvik::CMainDialog& dialog = program.Dialog();
    tarvik::ui::QtMainLoop* loop = &program.Loop();
    instance.SetShowRequestHandler(
        [loop, &dialog] { loop->Post([&dialog] { dialog.ShowFromOtherInstance(); }); });
    tarvik::ui::SignalPipe signalPipe([&dialog] { dialog.RequestExit(); });
    QObject::connect(&program.Window(), &tarvik::ui::MainWindow::Ended, &app, &QApplication::quit);

    program.Start();
    const int result = program.Window().HasEnded() ? 0 : app.exec();
    // No more requests from the listener thread once the program goes.
    instance.SetShowRequestHandler({});
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], kCrashMessageFlag) == 0) return ShowCrashMessage(argc, argv);
    }
    tarvik::ui::SignalPipe::InstallHandlers();
    tarvik::InstallCrashHandler(tarvik::GetInstallDirectory(),
                                {tarvik::ExecutablePath(), kCrashMessageFlag});
    tarvik::CSingleInstance instance;
    if (!tarvik::RunSingleInstanceCheck(instance, {})) return 0;
    return RunProgram(argc, argv, instance);
}
