// The program's logo, drawn by the program itself: 300 by 52 pixels.
#pragma once

#include <QPixmap>
#include <QString>

// Width and height of the logo picture.
constexpr int kLogoWidth = 300;
constexpr int kLogoHeight = 52;

// Draws the logo: two arrows chasing each other (the two address books kept
// in step) beside the program's name and what it does.
QPixmap MakeLogoPixmap();

// Side of the mark (the round badge with the two arrows) in the logo's
// pixels; the program's icon is the mark alone.
constexpr int kLogoMarkSize = 52;

// The mark as a square icon of nSize by nSize pixels.
QPixmap MakeLogoIcon(int nSize);

// The mark as a scalable SVG document of kLogoMarkSize units, the same
// shapes and colours MakeLogoIcon draws.
QString LogoMarkSvg();
