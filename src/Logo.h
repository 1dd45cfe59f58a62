// The program's logo, drawn by the program itself: 300 by 52 pixels.
#pragma once

#include <QPixmap>

// Width and height of the logo picture.
constexpr int kLogoWidth = 300;
constexpr int kLogoHeight = 52;

// Draws the logo: two arrows chasing each other (the two address books kept
// in step) beside the program's name and what it does.
QPixmap MakeLogoPixmap();
