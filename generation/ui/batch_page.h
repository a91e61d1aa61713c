// The batch generation page (third tab, "  二维码批量生成  "): every non-empty
// line of the box becomes one JPEG file <folder>/<prefix><line number>.jpg.
// A batch runs line by line from a timer, so the window keeps painting and a
// progress bar moves; the box and the button are disabled meanwhile.
#pragma once
#include <QString>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ui/page.h"
#include "generation/ui/generation_controls.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

class BatchPage : public Page {
  Q_OBJECT
 public:
  explicit BatchPage(QWidget* parent = nullptr);

  // Pause after each written line, in milliseconds (50 by default, >= 0).
  void setLinePause(int milliseconds);
  int linePause() const { return pauseMs_; }
  // Per-line limit in GBK bytes: 300 for "自动", else data codewords div 2 - 2.
  int32_t lineLimit() const { return limit_; }
  bool isRunning() const { return running_; }
  // Ends a running batch between two lines, so every file written is whole;
  // returns the number of files written.
  int stop();

 signals:
  // A batch ended, completed or stopped; `generated` counts the files written
  // (-1 when it was cut short because no encoder record could be had).
  void batchFinished(int generated);

 protected:
  void initialisePage() override;

 private:
  // One batch, read from the page when it starts.
  struct Job {
    std::vector<std::string> lines;  // GBK, without line breaks
    QString folder;
    QString prefix;
    int32_t versionIndex = 0;
    int32_t levelIndex = 0;
    int32_t pixels = 5;
    int32_t inputMode = DATA_MODE;
    size_t next = 0;     // index of the next line to handle
    int generated = 0;   // files written
    std::vector<std::pair<int, QString>> unwritten;  // line number, file
  };

  void buildControls();
  void addDestinationRows(QGroupBox* group);
  void connectControls();
  void onLimitListChanged();
  void updateLinesLabel();
  void onBrowse();
  void onBatchGenerate();
  bool validateSettings();
  bool readLines(std::vector<std::string>* lines);
  void StartBatch(std::vector<std::string> lines);
  void runNextLine();
  bool generateLine(int lineNumber, const std::string& line);
  enum class BatchEnd { kCompleted, kStopped, kNoRecord };
  void endBatch(BatchEnd how);
  void reportUnwritten();

  OptionLists lists_;
  QLineEdit* prefix_ = nullptr;
  QLineEdit* folder_ = nullptr;
  QPushButton* browse_ = nullptr;
  QLabel* linesLabel_ = nullptr;
  QPlainTextEdit* box_ = nullptr;
  QPushButton* generate_ = nullptr;
  QLabel* status_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QTimer* timer_ = nullptr;

  int32_t limit_ = 300;
  int pauseMs_ = 50;
  bool running_ = false;
  Job job_;
};
