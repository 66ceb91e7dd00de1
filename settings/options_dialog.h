#pragma once
// The program options dialog: eleven pages of program-wide settings that are
// not part of a measuring preset. The opener presets every value through the
// setters (or the named members), shows the dialog modally and reads every
// value back through the getters when it ends with 1. Only the DMX data, the
// report-name builder and the two checks act while the dialog is open; the
// opener backs the first two up and restores them on Cancel.
#include <QDialog>
#include <QString>

#include <array>
#include <deque>
#include <functional>
#include <vector>

#include "platform/date_time.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/select_box.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QSlider;
class QSpinBox;
class QTabWidget;
class QTimer;
class TTickRows;

// What the opener hands in: the main window's time check and what the
// certificate dialog needs to check a typed pass phrase.
struct TOptionsHooks {
    std::function<platform::TDateTime(const QString& host)> checkTsHost;
    // Opens the certificate dialog at a screen point with the held path;
    // answers true and fills path and pass phrase when it was confirmed.
    std::function<bool(QWidget* owner, QPoint at, QString& path, QString& passPhrase)> manageCertificate;
    // Forgets the stored host key of host and port (SFTP check).
    std::function<void(const QString& host, int32_t port)> forgetHostKey;
};

class TvtpOptionen : public QDialog {
public:
    static constexpr int kPageCount = 11;
    enum Page {
        tsLayout, tsSave, tsIP, tsInfo, tsRecording, tsDMX, tsCalLog, tsSonstiges, tsTimeServer, tsDateiNamen, tsSFTP
    };

    explicit TvtpOptionen(QWidget* owner, TOptionsHooks hooks = {}, double dpi = 0);
    ~TvtpOptionen() override;

    // Lays the form out for ppi; the form only grows.
    void ApplyScale(double ppi);
    double Scale() const { return localSf; }

    void Select_Window(int32_t index);
    int32_t GetSelectedWindowID() const;

    // --- page 0: display areas (0 top, 1 middle, 2 lower left, 3 lower right)
    void SetAreaElement(int32_t area, int32_t elementId);
    int32_t GetAreaElement(int32_t area) const;
    bool SetShowInfoOnClick(bool show);
    bool GetShowInfoOnClick() const;

    // --- page 3: visual alerts
    void SetBlinkMode(uint32_t mode);
    int32_t GetBlinkMode() const;
    void SetAEMode(int32_t mode);
    int32_t GetAEMode() const;
    void SetAELimit(int32_t limitDb);
    int32_t GetAELimit() const;
    void SetShowLeqBar(bool show);
    bool GetShowLeqBar() const;
    // Seconds; 0 is peak hold.
    void SetPeakRelease(double seconds);
    double GetPeakRelease() const;
    static int RlzIndexOf(double seconds);
    static double RlzOfIndex(int index);

    // --- page 1: saving
    void SetAutoFn(bool on);
    bool GetAutoFn() const;
    void SetUseFn(bool on);
    bool GetUseFn() const;
    void SetAutoStart(bool on);
    bool GetAutostart() const;
    void checkAutoStart();
    void SetReadOnly(bool on);
    bool GetReadOnly() const;
    void SetSaveInterval(int32_t seconds);
    int32_t GetSaveInterval() const;
    void showFNL();
    void showDNL();
    void SetSFTPUse(bool on);
    bool GetSFTPUse() const;
    QString fnl;  // the fixed file
    QString dnl;  // the save folder

    // --- page 4: recording (slider positions in seconds)
    void SetRecPeak(bool on);
    bool GetRecPeak() const;
    void SetUseRecSubDir(bool on);
    bool GetUseRecSubDir() const;
    void SetRecordingTimes(int32_t before, int32_t after, int32_t longest);
    int32_t GetRecBefore() const;
    int32_t GetRecAfter() const;
    int32_t GetRecMax() const;

    // --- page 2: communication
    bool IsIpActive(int32_t id) const;
    void SetUseSSL(bool on);
    bool GetShowSSL() const;
    void SetCertFile(const QString& path) { certFileLoc = path; }
    QString GetCertFile() const { return certFileLoc; }
    QString GetSSLPW() const { return mySSLPW; }
    void SetLogoOnStop(bool on);
    bool GetLogoOnStop() const;
    void SetPort(int32_t port);
    int32_t GetPort() const;

    // --- page 8: time server
    void SetTsUse(bool on);
    bool GetTsUse() const;
    void SetTsStartup(bool on);
    void SetTsStart(bool on);
    void SetTsEnd(bool on);
    void SetTSShowInfo(bool on);
    bool GetTsStartup() const;
    bool GetTsStart() const;
    bool GetTsEnd() const;
    bool GetTsShowInfo() const;
    void SetTsHost(const QString& host);
    QString GetTsHost() const;
    void RunTimeCheck();

    // --- page 10: SFTP
    void SetSFTP(const QString& host, const QString& user, const QString& pw, const QString& subDir, int32_t portId,
                 bool useV6, bool savePW, bool canOver);
    QString GetSFTPHost() const;
    QString GetSFTPUser() const;
    QString GetSFTPpw() const;
    QString GetSFTPSubDir() const;
    int32_t GetSFTPPortId() const { return mySFTPPort; }
    bool GetSFTPUseV6() const;
    bool GetSFTPSavePW() const;
    bool GetSFTPOver() const;
    // The check of the typed settings; with makeSubDir the sub-folder is made.
    void RunSftpCheck(bool makeSubDir);
    QString SftpLog() const { return SFTPInfo; }

    // --- page 6: calibration log
    void SetClModes(int32_t clmPre, int32_t clmPost);
    int32_t GetClModePre() const;
    int32_t GetClModePost() const;
    void SetClPreset(int32_t flags);
    uint16_t GetClPreset() const;

    // --- page 7: miscellaneous
    void SetUseMyDocs(bool on);
    bool GetUseMyDocs() const;
    void SetSymFolder(bool on);
    bool GetSymFolder() const;
    void SetOWPrompt(bool on);
    bool GetOWPrompt() const;
    void SetBlockWin(bool on);
    bool GetBlockWin() const;
    void SetCheckKStart(bool on);
    bool GetCheckKStart() const;
    void SetCheckKSetup(bool on);
    bool GetCheckKSetup() const;
    void SetMusikKorr(bool on);
    bool GetMusikKorr() const;
    void SetAllowCalc(bool on);
    bool GetAllowCalc() const;
    void SetMinKorrSpl(int32_t level);
    int32_t GetMinKorrSpl() const;
    // 0 Leq, 1 short-term Leq, 2 peak, 3 grid.
    void SetPrintColor(int32_t which, TColor color);
    TColor GetPrintColor(int32_t which) const;
    void ChoosePrintColor(int32_t which);

    // --- page 5: DMX over Art-Net (edits the DMX data live)
    void DmxUseClicked(int row);
    void DmxDeviceRefresh();
    void DmxCopyDevice();
    void EditDmxScene(int32_t scene);
    bool DmxIpValid() const;

    // --- page 9: the name builder
    void ChooseNamePart(int32_t slot, int32_t part);
    void ChooseSeparator(int32_t gap, int32_t sepId);
    void ChooseDateFormat(int32_t id);
    void ResetRunningNumber();
    void ChooseSaveFolder();
    QString PreviewPath() const;
    bool PreviewRed() const;
    QMenu* PartMenu(int32_t slot);
    QMenu* SeparatorMenu(int32_t gap);
    QMenu* DateFormatMenu();

    // Controls for tests and screenshots.
    QTabWidget* Pages() const { return pages_; }
    QWidget* Page(int index) const;
    TSelBox& Tick(const char* name);
    TTickRows* TickBox(const char* name) const;
    QComboBox* Combo(const char* name) const;
    QLineEdit* Edit(const char* name) const;
    QSpinBox* Spin(const char* name) const;
    QSlider* Slider(const char* name) const;
    QLabel* Label(const char* name) const;
    TPaintBox32* Box(const char* name) const;
    TPaintBox32* OkButton() const { return pbOk; }
    TPaintBox32* CancelButton() const { return pbCancel; }
    QTimer* ArtPollTimer() const { return tArtPoll; }
    bool PortWarningShown() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct NamedTick {
        const char* name;
        TSelBox box;
    };

    void FormCreate();
    void BuildPages();
    void BuildLayoutPage();
    void BuildInfoPage();
    void BuildSavePage();
    void BuildRecordingPage();
    void BuildNamesPage();
    void BuildIpPage();
    void BuildTimeServerPage();
    void BuildSftpPage();
    void BuildDmxPage();
    void BuildCalLogPage();
    void BuildMiscPage();
    void LayoutPage(int index);
    int LayoutLayoutPage(int w);
    int LayoutInfoPage(int w);
    int LayoutSavePage(int w);
    int LayoutRecordingPage(int w);
    int LayoutNamesPage(int w);
    int LayoutIpPage(int w);
    int LayoutTimeServerPage(int w);
    int LayoutSftpPage(int w);
    int LayoutDmxPage(int w);
    int LayoutCalLogPage(int w);
    int LayoutMiscPage(int w);
    void Grow(int bottom);
    void WireKeys(QWidget* widget);
    void EndWith(int result);

    QComboBox* NewCombo(QWidget* parent, const char* name);
    TTickRows* NewTicks(QWidget* parent, const char* name, std::vector<const char*> ticks);
    TPaintBox32* NewButton(QWidget* parent, const char* name, int32_t textId, std::function<void()> action);
    QLabel* NewLabel(QWidget* parent, const char* name, const QString& text);
    QLineEdit* NewEdit(QWidget* parent, const char* name);
    QSpinBox* NewSpin(QWidget* parent, const char* name, int lo, int hi);
    void SelectByData(QComboBox* combo, int32_t value, int fallbackIndex);
    void RepaintTicks();

    void AutoStartRule();
    void RecordingRule();
    void RecordingLabels();
    void SlotVisibilityRule();
    void PaintPreview(TPaintBox32* box);
    void PaintPartButton(TPaintBox32* box, int32_t slot);
    void PaintSeparatorButton(TPaintBox32* box, int32_t gap);
    void PortRule();
    void SslBoxDown(int x);
    void PaintSslBox(TPaintBox32* box);
    void TimeServerRule();
    void SftpPortRule();
    void SftpPasswordRule();
    void SftpAvailabilityRule();
    void SftpLog(const QString& entry);
    void DmxUseRule();
    void DmxTakeFromData();
    void DmxSelectByAddress();
    void DmxIpChanged();
    void DmxFieldMenu(QMenu* menu, int field);
    void ClFillRule();
    void PaintColourSquare(TPaintBox32* box, int32_t which);

    TOptionsHooks hooks_;
    double localSf = 1.0;
    int mySpace = 16;
    int lToCb = 3;
    int gbTop = 30;
    int sslCheckRight = 0;
    int formClientHeight = 0;
    QString certFileLoc;
    QString mySSLPW;
    std::vector<TSelBox> aIpCheck;
    std::vector<bool> aLocalIpState;
    QString dmxOldIP;
    int32_t dmxOldNode = 0, dmxOldSubNode = 0, dmxOldUniverse = 0;
    bool dmxTaking_ = false;
    int32_t mySFTPPort = 22;
    QString SFTPInfo;
    std::array<TColor, 4> printColors_{};
    std::deque<NamedTick> ticks_;  // deque: the tick rows keep pointers
    bool laidOut_ = false;

    QTabWidget* pages_ = nullptr;
    QWidget* panel_ = nullptr;
    TPaintBox32* pbOk = nullptr;
    TPaintBox32* pbCancel = nullptr;
    QTimer* tArtPoll = nullptr;
    TTickRows* pbIp = nullptr;
    std::vector<TTickRows*> tickBoxes_;
    QMenu* pmFNP = nullptr;
    QMenu* pmFNTrenner = nullptr;
    QMenu* pmNCDateFormat = nullptr;
};
