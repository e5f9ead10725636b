#pragma once

#include "device/port_link.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace t7 {

class Prompts;

// The receive window: one exchange with the instrument each time it is shown modally.
// Ends with 1 when an archive is in the device image, 2 otherwise.
class TForm2 : public QDialog, public PortLink
{
    Q_OBJECT

public:
    TForm2(Prompts& prompts, QWidget* parent = nullptr);

    QLabel* StaticText2;
    QProgressBar* ProgressBar1;
    QGroupBox* GroupBox1;
    QLabel* StaticText4;
    QLabel* StaticText5;
    QLabel* StaticText3;
    QLabel* StaticText1;
    QLabel* StaticText6;
    QLabel* StaticText7;
    QPushButton* Button1;
    QCheckBox* CheckBox1;

    void FormCreate();
    void FormShow();
    void FormClose();
    void Button1Click();

    // ExchangeHost: the window's side.
    void setStatus(const QString& text) override;
    void setCaption(const QString& text) override;
    void setDeviceType(const QString& text) override;
    void setVersion(const QString& text) override;
    void setRecordCount(const QString& text) override;
    void setProgress(int percent) override;
    void showError(const QString& text, const QString& caption) override;
    void finish(int result) override;
    bool dumpRequested() override;
    void writeDump(qint64 length) override;

    void done(int result) override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void portOpenFailed(const QString& reason) override;

private:
    Prompts& m_prompts;
    QString m_savedTitle;
    bool m_shown = false;
};

} // namespace t7
