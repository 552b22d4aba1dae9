#pragma once

#include <QImage>

// Our own artwork, drawn from paths only (no fonts), so the same toolkit draws the same pixels on
// every machine.
QImage drawApplicationIcon(int size);
// 512 x 512; the drawing is laid out on a 64 x 64 grid with the fingertip at about (25, 10).
QImage drawPointingHand();
