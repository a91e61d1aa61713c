// Artwork of the screen capture window, drawn at run time: the cursors and
// the info picture with its instructions and a QR code made by our encoder.
#pragma once
#include <QCursor>
#include <QImage>

// Cursor ids of the capture window.
constexpr int kCursorCapture = 139;         // everywhere the tracker shows none; hot spot (2, 4)
constexpr int kCursorSizeTlbr = 144;        // top-left / bottom-right handles
constexpr int kCursorSizeTrbl = 145;        // top-right / bottom-left handles
constexpr int kCursorMove = 146;            // inside the rectangle
constexpr int kCursorSizeHorizontal = 147;  // left / right handles
constexpr int kCursorSizeVertical = 148;    // top / bottom handles

// A 32 x 32 cursor for one of the ids above (hot spot at the centre, except
// 139); an arrow cursor for any other id.
QCursor CaptureCursor(int id);

constexpr int kInfoPictureWidth = 175;
constexpr int kInfoPictureHeight = 146;
// The 175 x 146 info picture: title bar "截图", three instruction lines and a
// QR code (left out if the encoder fails).
QImage CaptureInfoPicture();
