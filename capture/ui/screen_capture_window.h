// The full-screen window in which the user picks a screen rectangle to decode.
// It freezes the primary screen when created, shows the frozen copy, lets the
// user drag a rectangle and adjust it with a tracker, and on a double-click
// inside it ends with the rectangle's pixels as its picture.
#pragma once
#include <QCursor>
#include <QDialog>
#include <QImage>
#include <QStringList>

#include "capture/ui/selection_tracker.h"

class QLabel;

// The readout box for cursor `cursor` (screen coordinates): `boxWidth` wide,
// six lines of `lineHeight`, above right of the cursor, flipped to the left at
// the right screen edge and below the cursor at the top edge.
QRect ReadoutBox(QPoint cursor, int boxWidth, int lineHeight, QSize screen);
// The six readout lines: corner and size of `r`, cursor position.
QStringList ReadoutLines(const tracker::Rect& r, QPoint cursor);

class ScreenCaptureWindow : public QDialog {
  Q_OBJECT
 public:
  // Freezes the primary screen. Run it with exec(); afterwards picture() holds
  // what the user picked.
  explicit ScreenCaptureWindow(QWidget* parent = nullptr);

  // The picked rectangle's pixels; null when the window ended without a pick.
  const QImage& picture() const { return picture_; }

  // The part of `rect` inside the screen, copied 1:1 from the frozen copy.
  // Null for a rectangle without area.
  QImage copyScreen(const tracker::Rect& rect) const;

  const SelectionTracker& selectionTracker() const { return tracker_; }
  bool hasSelection() const { return hasSelection_; }
  bool showsInfo() const { return showInfo_; }
  bool infoBoxVisible() const;
  const QImage& frozen() const { return frozen_; }

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
  void drawMessage(const tracker::Rect& r, QPainter* painter) const;
  void repaintExceptInfoBox();
  void clearSelection();
  void updateCursor(QPoint pos);
  void endWindow();

  int screenWidth_ = 0;
  int screenHeight_ = 0;
  bool showInfo_ = false;
  bool drawing_ = false;
  bool hasSelection_ = false;
  QPoint start_;
  QPoint cursorPos_;  // last known cursor position, screen coordinates
  SelectionTracker tracker_;
  QImage frozen_;
  QImage picture_;
  QCursor captureCursor_;
  QLabel* infoBox_ = nullptr;
};
