// The program's entry: the application object with its title, the data
// module, then the main window, whose creation starts everything else; the
// message loop runs until the main window is closed, and the window's
// destruction shuts the program down.
#include <exception>

#include <QApplication>
#include <QIcon>
#include <QMessageBox>

#include "common/palm/TdmMain.h"
#include "src/FormStyle.h"
#include "src/Logo.h"
#include "src/TfmMain.h"

// The one main window, while it exists.
TfmMain* fmMain = nullptr;

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // Where Linux shows an application's own name (task bars, docks), it
    // shows this title; the window keeps its own caption.
    QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
    QApplication::setDesktopFileName(QStringLiteral("org.varnwick.Varnwick"));
    // The installed icon where the desktop has it; the same mark drawn here
    // when the program runs from its build folder.
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.varnwick.Varnwick"), QIcon(MakeLogoIcon(128))));
    ApplyApplicationFont();

    try {
        TdmMain::Instance();
        TfmMain window;
        fmMain = &window;
        window.show();
        QApplication::exec();
        fmMain = nullptr;
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QString::fromLatin1(kApplicationTitle),
                              QStringLiteral("Varnwick could not start: %1").arg(QString::fromLocal8Bit(error.what())));
    }
    return 0;
}
