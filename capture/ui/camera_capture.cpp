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

#include "app/module_dir.h"
#include "app/ui/dialogs.h"
#include "capture/decode_frame.h"

namespace {

const char kRunFailed[] = "Couldn’t run the graph!";
constexpr int kRunFailedCode = -1;

class QtCameraBackend final : public CameraBackend {
 public:
  ~QtCameraBackend() override { Stop(); }

  QStringList DeviceNames() override {
    QStringList names;
    for (const QCameraDevice& device : QMediaDevices::videoInputs()) {
      // Every device is listed, so that list positions and device indices agree.
      QString name = device.description();
      names << (name.isEmpty() ? QString::fromUtf8(device.id()) : name);
    }
    return names;
  }

  int Start(int index, QWidget* host, QString* failure) override {
    const QList<QCameraDevice> devices = QMediaDevices::videoInputs();
    if (index < 0 || index >= devices.size()) return 1;
    Stop();
    camera_ = new QCamera(devices[index], this);
    session_ = new QMediaCaptureSession(this);
    video_ = new QVideoWidget(host);
    video_->setGeometry(0, 0, host->width(), host->height());
    session_->setCamera(camera_);
    session_->setVideoOutput(video_);
    // The sink may announce frames from the media thread: queue them here.
    connect(video_->videoSink(), &QVideoSink::videoFrameChanged, this,
            [this](const QVideoFrame& frame) {
              if (FrameWanted()) emit FrameArrived(frame.toImage());
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

  void Stop() override {
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

FileFrameSource::~FileFrameSource() { Stop(); }

void FileFrameSource::SetImageFiles(QStringList imageFiles) {
  files_ = std::move(imageFiles);
  next_ = 0;
}

int FileFrameSource::Start(int index, QWidget* host, QString*) {
  if (index < 0 || index >= names_.size()) return 1;
  Stop();
  view_ = new QLabel(host);
  view_->setGeometry(0, 0, host->width(), host->height());
  view_->setScaledContents(true);
  view_->show();
  if (intervalMs_ > 0) {
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &FileFrameSource::DeliverFrame);
    timer_->start(intervalMs_);
  }
  return 0;
}

void FileFrameSource::Stop() {
  delete timer_;
  delete view_.data();
  timer_ = nullptr;
}

void FileFrameSource::DeliverFrame() {
  if (view_ == nullptr || files_.isEmpty()) return;
  QImage frame = QImageReader(files_[next_ % files_.size()]).read();
  next_ = (next_ + 1) % files_.size();
  if (frame.isNull()) return;
  view_->setPixmap(QPixmap::fromImage(frame));
  if (FrameWanted()) emit FrameArrived(frame);
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

CCameraCapture::CCameraCapture(QObject* parent) : QObject(parent) {
  pool_.setMaxThreadCount(1);
  SetBackend(MakeQtCameraBackend());
}

CCameraCapture::~CCameraCapture() {
  Stop();
  WaitForFrameDone();
}

void CCameraCapture::SetBackend(std::unique_ptr<CameraBackend> backend) {
  if (backend_) backend_->Stop();
  backend_ = std::move(backend);
  if (!backend_) return;
  backend_->SetFrameWanted([this] { return requested_.load() && !busy_.load(); });
  connect(backend_.get(), &CameraBackend::FrameArrived, this, &CCameraCapture::OnFrame);
}

int CCameraCapture::EnumDevices(QComboBox* list) {
  if (list == nullptr || !backend_) return -1;
  const QStringList names = backend_->DeviceNames();
  if (names.isEmpty()) return -1;
  list->addItems(names);
  return static_cast<int>(names.size());
}

int CCameraCapture::Start(int index, QWidget* host) {
  if (!backend_) return 1;
  QString failure;
  int result = backend_->Start(index, host, &failure);
  if (result != 0 && !failure.isEmpty()) {
    Dialogs().message(host, failure, DialogService::Icon::Information, AppCaption());
  }
  if (result == 0) host_ = host;
  return result;
}

int CCameraCapture::Stop() {
  if (backend_) backend_->Stop();
  host_ = nullptr;
  return 1;
}

void CCameraCapture::RequestSnapshot(bool flag) { requested_.store(flag); }

void CCameraCapture::WaitForFrameDone() { pool_.waitForDone(); }

void CCameraCapture::OnFrame(const QImage& frame) {
  if (!requested_.load() || frame.isNull()) return;
  bool expected = false;
  if (!busy_.compare_exchange_strong(expected, true)) return;
  std::string path = std::string(ModuleDirectory) + "/ph.bmp";
  ++framesDecoded_;
  pool_.start([this, frame, path] {
    std::vector<uint8_t> pixels = BottomUpBgr24(frame);
    WriteFrameBitmap(pixels.data(), static_cast<int32_t>(pixels.size()), frame.width(),
                     frame.height(), path.c_str());
    // Cleared only now, so requests made meanwhile are served by this frame.
    requested_.store(false);
    busy_.store(false);
  });
}
