#pragma once

#include "window_environment.h"

#include <kelvane/conversion.h>
#include <kelvane/progress_sink.h>

#include <QElapsedTimer>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QWidget>

#include <array>

class CaptionLabel;
class CommandButton;
class DatePicker;
class FileList;
class FocusCue;
class OffsetCombo;
class QCheckBox;
class QLabel;
class QProgressBar;
class QScrollArea;

// The program's one window: every control, the values the handlers share, and
// the engine's progress shown on the bar and as lines printed on the window.
class frmKelvane : public QWidget, public kelvane::ProgressSink {
    Q_OBJECT

  public:
    explicit frmKelvane(WindowEnvironment environment, QWidget *parent = nullptr);
    ~frmKelvane() override;

    // Shows the window and fills in its starting state.
    void Load();

    // The input the run commands convert.
    QString InputFile() const { return inputFile; }
    // Whole hours added to every track point time, -12 to 12.
    int ZOffset() const { return zOffset; }
    // The date label the picker writes into.
    int DayPicIndex() const { return dayPicIndex; }
    // The names printed on the window's surface, top line first: the XML day
    // files saved.
    const QStringList &PrintedLines() const { return printedLines; }
    // What the last conversion did, for whoever watches the window.
    const kelvane::ConversionSummary &LastSummary() const { return lastSummary; }

    // The day that labDayPic(index) shows; Day keeps its value while the label
    // still shows its design caption.
    void ReadDayLabel(int index, QDate &Day) const;

    void beginDays(int minDay, int maxDay) override;
    void setDay(int day) override;
    void showFileName(const QString &name) override;
    void fileSaved(const QString &name) override;

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    void createControls();
    void createPictures();
    void createButtons();
    void createDayLabels();
    void createCheckBoxes();
    void createOffsetControls();
    void createControlsShownOnDemand();
    void drawPictures();
    void nameControls();
    void addDayKeys();
    void setTabOrder();
    void placeOnScreen();
    void printLine(const QString &line);
    void showInputName(const QString &name);
    void writeSelfTest();
    QDateTime presentMoment() const { return environment.presentMoment(); }
    QString longForm(QDate day) const;
    // Shows the day in the long form on labDayPic(index), which raises its Change.
    void setDayLabel(int index, QDate day);

    // Output options, hour offset and input file.
    void cbZOffset_Click();
    void ckTXTFlag_Click();
    void ckXMLFlag_Click();
    void cmdSelFile_Click();
    void File1_Click();
    void cmdExit_Click();

    // Day labels and the date picker.
    void labDayPic_Click(int Index);
    void labDayPic_Change(int Index);
    void DTPicker1_Change();
    // F4 on a run button: the picker on the label's day, its calendar open.
    void openPickerFromKeyboard(int Index);
    // Hides the picker and gives the focus back to where it was before.
    void closePicker();
    void closeFileList();

    // Run commands.
    void cmdToday_Click();
    void cmdPast7_Click();
    void cmdRange_Click();
    void cmdAll_Click();
    void convert(QDate StartFilesDate, QDate EndFilesDate);
    QStringList inputReports(bool failedOnly = false) const;
    kelvane::ConversionOptions conversionOptions() const;

    WindowEnvironment environment;
    QString inputFile;
    int zOffset = 0;
    int dayPicIndex = 0;
    QStringList printedLines;
    QSet<QString> namesToPrint; // of XML day files being saved
    QElapsedTimer lastPrintRepaint;
    kelvane::ConversionSummary lastSummary;

    QPointer<QWidget> pickerOpener;     // had the focus before the picker opened
    QScrollArea *scrollFrame = nullptr; // holds the window where the screen is too small
    FocusCue *focusCue = nullptr;

    CommandButton *cmdToday = nullptr;
    DatePicker *DTPicker1 = nullptr;
    CommandButton *cmdPast7 = nullptr;
    CommandButton *cmdRange = nullptr;
    std::array<CaptionLabel *, 4> labDayPic{};
    QLabel *LabTxt01 = nullptr;
    CommandButton *cmdAll = nullptr;
    OffsetCombo *cbZOffset = nullptr;
    QLabel *labTxtZOffset = nullptr;
    FileList *File1 = nullptr;
    QProgressBar *prbDays = nullptr;
    QLabel *Picture1 = nullptr;
    QLabel *picPelko = nullptr;
    CommandButton *cmdExit = nullptr;
    QLabel *Picture2 = nullptr;
    CommandButton *cmdSelFile = nullptr;
    QCheckBox *chkHighAscii = nullptr;
    QCheckBox *ckTXTFlag = nullptr;
    QCheckBox *ckXMLFlag = nullptr;
    QCheckBox *chkGPXFlag = nullptr;
};
