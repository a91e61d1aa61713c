#include "capture/ui/camera_capture.h"

#include <QCamera>
#include <QCameraDevice>
#include <QComboBox>
#include <QImageReader>
#include <QPointer>
#include <QLabel>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QTimer>
#include <QVideoFrame>
#include <QVideoSink>
#include <QVideoWidget>
#include <cstring>

#include "ui/dialog_service.h"
#include "capture/decode_frame.h"

namespace {

const char kRunFailed[] = "Couldn’t run the graph!";
constexpr int kRunFailedCode = -1;

class QtCameraBackend final : public CameraBackend {
 public:
  ~QtCameraBackend() override { stop(); }

  QStringList deviceNames() override {
    QStringList names;
    for (const QCameraDevice& device : QMediaDevices::videoInputs()) {
      // Every device is listed, so that list positions and device indices agree.
      QString name = device.description();
      names << (name.isEmpty() ? QString::fromUtf8(device.id()) : name);
    }
    return names;
  }

  int start(int index, QWidget* host, QString* failure) override {
    const QList<QCameraDevice> devices = QMediaDevices::videoInputs();
    if (index < 0 || index >= devices.size()) return 1;
    stop();
    camera_ = new QCamera(devices[index], this);
    session_ = new QMediaCaptureSession(this);
    video_ = new QVideoWidget(host);
    video_->setGeometry(0, 0, host->width(), host->height());
    session_->setCamera(camera_);
    session_->setVideoOutput(video_);
    // The sink may announce frames from the media thread: queue them here.
    connect(video_->videoSink(), &QVideoSink::videoFrameChanged, this,
            [this](const QVideoFrame& frame) {
              if (frameWanted()) emit frameArrived(frame.toImage());
            }, Qt::QueuedConnection);
    connect(camera_, &QCamera::errorOccurred, this,
            [host](QCamera::Error error, const QString&) {
              if (error != QCamera::NoError) {
                Dialogs().message(host, QString::fromUtf8(kRunFailed),
                                  DialogService::Icon::Information, AppCaption());
              }
            });
    video_->show();
    camera_->start();
    if (camera_->error() != QCamera::NoError) {
      *failure = QString::fromUtf8(kRunFailed);
      return kRunFailedCode;
    }
    return 0;
  }

  void stop() override {
    if (camera_ != nullptr) camera_->stop();
    delete session_;
    delete camera_;
    delete video_.data();
    session_ = nullptr;
    camera_ = nullptr;
  }

 private:
  QCamera* camera_ = nullptr;
  QMediaCaptureSession* session_ = nullptr;
  QPointer<QVideoWidget> video_;  // owned by the host, which may go first
};

}  // namespace

std::unique_ptr<CameraBackend> MakeQtCameraBackend() {
  return std::make_unique<QtCameraBackend>();
}

// ---- file frames ---------------------------------------------------------

FileFrameSource::FileFrameSource(QStringList deviceNames, QStringList imageFiles, int intervalMs)
    : names_(std::move(deviceNames)), files_(std::move(imageFiles)), intervalMs_(intervalMs) {}

FileFrameSource::~FileFrameSource() { stop(); }

void FileFrameSource::setImageFiles(QStringList imageFiles) {
  files_ = std::move(imageFiles);
  next_ = 0;
}

int FileFrameSource::start(int index, QWidget* host, QString*) {
  if (index < 0 || index >= names_.size()) return 1;
  stop();
  view_ = new QLabel(host);
  view_->setGeometry(0, 0, host->width(), host->height());
  view_->setScaledContents(true);
  view_->show();
  if (intervalMs_ > 0) {
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &FileFrameSource::deliverFrame);
    timer_->start(intervalMs_);
  }
  return 0;
}

void FileFrameSource::stop() {
  delete timer_;
  delete view_.data();
  timer_ = nullptr;
}

void FileFrameSource::deliverFrame() {
  if (view_ == nullptr || files_.isEmpty()) return;
  QImage frame = QImageReader(files_[next_ % files_.size()]).read();
  next_ = (next_ + 1) % files_.size();
  if (frame.isNull()) return;
  view_->setPixmap(QPixmap::fromImage(frame));
  if (frameWanted()) emit frameArrived(frame);
}

// ---- capture ---------------------------------------------------------------

std::vector<uint8_t> BottomUpBgr24(const QImage& frame) {
  QImage bgr = frame.convertToFormat(QImage::Format_BGR888);
  const int width = bgr.width();
  const int height = bgr.height();
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
  std::vector<uint8_t> pixels(stride * static_cast<size_t>(height), 0);
  for (int y = 0; y < height; ++y) {
    std::memcpy(&pixels[stride * static_cast<size_t>(height - 1 - y)], bgr.constScanLine(y),
                static_cast<size_t>(width) * 3);
  }
  return pixels;
}

CameraCapture::CameraCapture(QObject* parent) : QObject(parent) {
  pool_.setMaxThreadCount(1);
  setBackend(MakeQtCameraBackend());
}

CameraCapture::~CameraCapture() {
  stop();
  waitForFrameDone();
}

void CameraCapture::setBackend(std::unique_ptr<CameraBackend> backend) {
  if (backend_) backend_->stop();
  backend_ = std::move(backend);
  if (!backend_) return;
  backend_->setFrameWanted([this] { return requested_.load() && !busy_.load(); });
  connect(backend_.get(), &CameraBackend::frameArrived, this, &CameraCapture::onFrame);
}

int CameraCapture::enumDevices(QComboBox* list) {
  if (list == nullptr || !backend_) return -1;
  const QStringList names = backend_->deviceNames();
  if (names.isEmpty()) return -1;
  list->addItems(names);
  return static_cast<int>(names.size());
}

int CameraCapture::start(int index, QWidget* host) {
  if (!backend_) return 1;
  QString failure;
  int result = backend_->start(index, host, &failure);
  if (result != 0 && !failure.isEmpty()) {
    Dialogs().message(host, failure, DialogService::Icon::Information, AppCaption());
  }
  if (result == 0) host_ = host;
  return result;
}

int CameraCapture::stop() {
  if (backend_) backend_->stop();
  host_ = nullptr;
  return 1;
}

void CameraCapture::setSnapshotTarget(const std::string& path, DecodeNotify notify) {
  waitForFrameDone();
  snapshotPath_ = path;
  notify_ = std::move(notify);
}

void CameraCapture::requestSnapshot(bool flag) { requested_.store(flag); }

void CameraCapture::waitForFrameDone() { pool_.waitForDone(); }

void CameraCapture::onFrame(const QImage& frame) {
  if (!requested_.load() || frame.isNull()) return;
  bool expected = false;
  if (!busy_.compare_exchange_strong(expected, true)) return;
  ++framesDecoded_;
  pool_.start([this, frame] {
    std::vector<uint8_t> pixels = BottomUpBgr24(frame);
    WriteFrameBitmap(pixels.data(), static_cast<int32_t>(pixels.size()), frame.width(),
                     frame.height(), snapshotPath_.c_str(), notify_);
    // Cleared only now, so requests made meanwhile are served by this frame.
    requested_.store(false);
    busy_.store(false);
  });
}
