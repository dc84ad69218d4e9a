#pragma once
// The program's own pictures, drawn once: the splash and the tile of the empty table area.

#include <QPixmap>

QPixmap SplashPicture();      // 240 x 220
QPixmap BackgroundPicture();  // "Bitmap_1", a small tile
