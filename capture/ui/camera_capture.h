// Camera capture of the decode page: lists the video input devices, shows the
// live picture inside the page's preview area and, on request, hands exactly
// one frame to WriteFrameBitmap on a worker thread (so the window never
// freezes while a frame decodes). Frames come from a back end: Qt Multimedia
// for real cameras, or a player of image files (tests; no camera needed).
#pragma once
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QThreadPool>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "capture/decode_frame.h"

class QComboBox;
class QLabel;
class QTimer;
class QWidget;

// A source of frames. Frames are announced on the UI thread.
class CameraBackend : public QObject {
  Q_OBJECT
 public:
  // Display names of the devices, in a stable order; empty when there are
  // none or they cannot be listed.
  virtual QStringList deviceNames() = 0;
  // Shows device `index` live inside `host`. 0 on success; 1 when the index
  // names no device (nothing shown, no message); otherwise another non-zero
  // code with `failure` set to the message to show.
  virtual int start(int index, QWidget* host, QString* failure) = 0;
  // Stops the stream and removes the picture from the host.
  virtual void stop() = 0;
  // Asked before each frame is converted: frames nobody wants only feed the preview.
  void setFrameWanted(std::function<bool()> wanted) { wanted_ = std::move(wanted); }

 signals:
  void frameArrived(const QImage& frame);

 protected:
  bool frameWanted() const { return !wanted_ || wanted_(); }

 private:
  std::function<bool()> wanted_;
};

// Qt Multimedia: QCamera into a QVideoWidget placed inside the host; frames
// from the video widget's own sink.
std::unique_ptr<CameraBackend> MakeQtCameraBackend();

// Plays image files as camera frames: each device shows the files in turn,
// one every `intervalMs` (0: only when deliverFrame is called).
class FileFrameSource : public CameraBackend {
  Q_OBJECT
 public:
  FileFrameSource(QStringList deviceNames, QStringList imageFiles, int intervalMs = 40);
  ~FileFrameSource() override;
  void setImageFiles(QStringList imageFiles);
  // Shows and announces the next picture now (while started).
  void deliverFrame();

  QStringList deviceNames() override { return names_; }
  int start(int index, QWidget* host, QString* failure) override;
  void stop() override;

 private:
  QStringList names_;
  QStringList files_;
  int next_ = 0;
  int intervalMs_;
  QTimer* timer_ = nullptr;
  QPointer<QLabel> view_;  // owned by the host, which may go first
};

// A QImage as bottom-up (blue, green, red) rows padded to 4 bytes.
std::vector<uint8_t> BottomUpBgr24(const QImage& frame);

class CameraCapture : public QObject {
  Q_OBJECT
 public:
  // Uses the Qt Multimedia back end until SetBackend replaces it.
  explicit CameraCapture(QObject* parent = nullptr);
  // Stops the stream and waits for a frame still being decoded.
  ~CameraCapture() override;

  // Replaces the back end (stops the current one first).
  void setBackend(std::unique_ptr<CameraBackend> backend);
  CameraBackend* backend() const { return backend_.get(); }

  // Fills `list` with the device names; returns how many, or -1 without a
  // list or when there is no device.
  int enumDevices(QComboBox* list);
  // Starts device `index` inside `host`: 0 on success, 1 when the index names
  // no device, otherwise a code after its message has been shown.
  int start(int index, QWidget* host);
  // Stops the stream; always 1.
  int stop();
  // Where requested frames are written (the page's "ph.bmp") and who hears
  // the decode codes, from the worker thread.
  void setSnapshotTarget(const std::string& path, DecodeNotify notify);
  // Arms (true) or clears the one-shot request: the next frame is saved to
  // "ph.bmp" and decoded. Requests made while a frame is being decoded are
  // absorbed by that frame.
  void requestSnapshot(bool flag);
  bool snapshotRequested() const { return requested_.load(); }
  // Number of frames handed to the decoder so far.
  int framesDecoded() const { return framesDecoded_.load(); }
  // Blocks until no frame is being decoded (page teardown, tests).
  void waitForFrameDone();

 private:
  void onFrame(const QImage& frame);

  std::unique_ptr<CameraBackend> backend_;
  QWidget* host_ = nullptr;
  std::atomic<bool> requested_{false};
  std::atomic<bool> busy_{false};
  std::atomic<int> framesDecoded_{0};
  std::string snapshotPath_;
  DecodeNotify notify_;
  QThreadPool pool_;
};
