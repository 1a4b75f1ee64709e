#pragma once
// The Corvanel logo of the main window.
#include <QPixmap>

QPixmap CorvanelLogo();
