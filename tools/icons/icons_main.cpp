// vw-icons <output folder>
//
// Writes the program's icon, the logo's mark, as the desktop wants it:
// varnwick.svg (scalable) and varnwick.png (128 by 128 pixels), drawn by the
// same code that draws the logo in the window. Meant to run with
// QT_QPA_PLATFORM=offscreen; the build runs it for the install rules.
#include <cstdio>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>

#include "src/Logo.h"

int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: vw-icons <output folder>\n");
        return 2;
    }
    const QString strFolder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(strFolder)) {
        std::fprintf(stderr, "vw-icons: cannot create %s\n", argv[1]);
        return 1;
    }
    QFile svg(strFolder + QStringLiteral("/varnwick.svg"));
    if (!svg.open(QIODevice::WriteOnly | QIODevice::Truncate) || svg.write(LogoMarkSvg().toUtf8()) < 0 ||
        !svg.flush()) {
        std::fprintf(stderr, "vw-icons: cannot write %s\n", svg.fileName().toLocal8Bit().constData());
        return 1;
    }
    const QString strPng = strFolder + QStringLiteral("/varnwick.png");
    if (!MakeLogoIcon(128).save(strPng, "PNG")) {
        std::fprintf(stderr, "vw-icons: cannot write %s\n", strPng.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
