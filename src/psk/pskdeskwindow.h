// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QRgb>

#include <optional>

class QAction;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTimer;

namespace rollcall::radio {
class FileAudioIo;
}

namespace rollcall::psk {

class PassbandReader;
class PassbandWidget;
struct PskWindowSizes;
class PskRsid;
class PskTerminal;
class WaterfallWidget;

// The PSK31 terminal `PSK_Desk`: the window around the one PskTerminal.
class PskDeskWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit PskDeskWindow(QWidget *parent = nullptr);
    ~PskDeskWindow() override;

    PskTerminal *terminal() const { return terminal_; }
    PskRsid *rsid() const { return rsid_; }
    WaterfallWidget *waterfall() const { return waterfall_; }

    // Button actions (public for the other windows and tests).
    void toggleNetWindows(); // NCS/Hide
    // The PSK31 windows kept in front of the net window and placed around it:
    // when the terminal opens, and again when a net opens while it is open.
    void keepInFrontOfNetWindow();
    void pasteClipboard();
    void pauseReceived();
    void unpauseReceived();
    void layoutTick(); // the 500 ms layout timer
    void placeMember();
    // Places it and its companions clear of the net window's entry rows.
    void arrangeWindows();

    // Longest received text kept (older text is dropped).
    static constexpr int kMaxReceived = 100000;
    // The colour of this station's own transmitted text among the received text.
    static constexpr QRgb kSentColour = 0xffb22222;
    // The size it opens with where the screen has room (smaller on a small one).
    static constexpr QSize kSize { 760, 470 };
    // The least height of the received text (with the passband browser's tab
    // when open).
    static constexpr int kReceivedMinimumHeight = 100;
    static constexpr int kWaterfallMinimumHeight = 100;
    // What the waterfall lends the passband browser while it shows.
    static constexpr int kLentHeight = 40;
    // The least the Net Control window is shrunk to, so its lists still show a few entries.
    static constexpr QSize kNetControlMinimum { 200, 150 };

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void buildWindow();
    void buildMenus();
    PassbandReader *buildPassband();
    // Received text, or (sent) what this station transmits, in kSentColour.
    void appendReceived(const QString &text, bool sent);
    // A click on a call in the received text: the net window's entry row;
    // a right click: its menu.
    void openCallLink(const QString &call, Qt::MouseButton button, QPoint at);
    void updateStatus();
    static QString dialText(qint64 hz);
    void logCheckIn(const QString &call);
    void checkInLogged(const QString &call);
    void checkOutHeard(const QString &call);
    void closeAll(); // Quit and Close
    void saveSettingsThrottled();
    void showProblem(const QString &message);
    // Marks the last characters of the typing box as not sent.
    void markUnsent(int characters);
    void chooseRecording();
    void chooseRecordFile();
    // The recordings, when the modem is on audio files.
    radio::FileAudioIo *audioFiles() const;
    radio::FileAudioIo *useAudioFiles();
    void showRecordings();
    // The frame sizes of the windows: as they are, or as they open.
    PskWindowSizes windowSizes(bool asTheyAre) const;
    std::optional<QPoint> netControlPlace() const; // none when docked
    void arrangeNetCompanions();

    PskTerminal *terminal_ = nullptr;
    PskRsid *rsid_ = nullptr;
    QObject *netWindowWatch_ = nullptr; // raises the terminal over the net window
    WaterfallWidget *waterfall_ = nullptr;
    QPlainTextEdit *received_ = nullptr; // txtrxdata
    bool lastShownSent_ = false; // what received_ ends with: this station's own text
    QPlainTextEdit *frozen_ = nullptr; // Text3
    QPlainTextEdit *typing_ = nullptr; // Text1
    QLabel *unpause_ = nullptr; // Label5
    QLabel *signal_ = nullptr; // Label2
    QLabel *imd_ = nullptr; // Label8
    QLabel *rx_ = nullptr; // Label11
    QLabel *tx_ = nullptr; // Label13
    QLabel *buffer_ = nullptr; // Label14
    QLabel *mode_ = nullptr; // Label1
    QLabel *dial_ = nullptr;
    QProgressBar *inputLevel_ = nullptr;
    QPushButton *ncsButton_ = nullptr; // Command9
    QTimer *layout_ = nullptr; // Timer1
    QElapsedTimer lastSave_;
    bool savePending_ = false;
    bool started_ = false;
    QRect placed_; // its frame when the member window was last put under it
    QAction *play_ = nullptr; // mnuPlayRecording
    QTabWidget *tabs_ = nullptr; // the received text, and the passband browser when open
    PassbandWidget *passband_ = nullptr;
    QAction *browser_ = nullptr; // mnuPassband
    QAction *record_ = nullptr; // mnuRecordTransmit
};

} // namespace rollcall::psk
