// The full-screen window in which the user picks a screen rectangle to decode.
// It freezes the primary screen when created, shows the frozen copy, lets the
// user drag a rectangle and adjust it with a tracker, and on a double-click
// inside it puts the rectangle's pixels on the clipboard as an image.
#pragma once
#include <QCursor>
#include <QDialog>
#include <QImage>
#include <QStringList>

#include "capture/ui/capture_tracker.h"

class QLabel;

// Set when the capture window ended with a picture on the clipboard.
extern bool g_bCaptureAccepted;

// The readout box for cursor `cursor` (screen coordinates): `boxWidth` wide,
// six lines of `lineHeight`, above right of the cursor, flipped to the left at
// the right screen edge and below the cursor at the top edge.
QRect ReadoutBox(QPoint cursor, int boxWidth, int lineHeight, QSize screen);
// The six readout lines: corner and size of `r`, cursor position.
QStringList ReadoutLines(const tracker::Rect& r, QPoint cursor);

class CScreenCaptureDlg : public QDialog {
  Q_OBJECT
 public:
  // Freezes the primary screen. Run it with exec(); it ends through the
  // cancel path only and reports through g_bCaptureAccepted and the clipboard.
  explicit CScreenCaptureDlg(QWidget* parent = nullptr);

  // The part of `rect` inside the screen, copied 1:1 from the frozen copy (and
  // put on the clipboard when asked). Null for a rectangle without area.
  QImage CopyScreenToBitmap(const tracker::Rect& rect, bool toClipboard);

  const CCaptureTracker& Tracker() const { return tracker_; }
  bool HasSelection() const { return hasSelection_; }
  bool ShowsInfo() const { return showInfo_; }
  bool InfoBoxVisible() const;
  const QImage& Frozen() const { return frozen_; }

  void accept() override;  // Enter: nothing
  void reject() override;  // ESC: clears the selection, or ends the window

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void DrawMessage(const tracker::Rect& r, QPainter* painter) const;
  void RepaintExceptInfoBox();
  void ClearSelection();
  void UpdateCursor(QPoint pos);
  void EndWindow();

  int screenWidth_ = 0;
  int screenHeight_ = 0;
  bool showInfo_ = false;
  bool drawing_ = false;
  bool hasSelection_ = false;
  QPoint start_;
  QPoint cursorPos_;  // last known cursor position, screen coordinates
  CCaptureTracker tracker_;
  QImage frozen_;
  QCursor captureCursor_;
  QLabel* infoBox_ = nullptr;
};
