#pragma once

#include <QDialog>

class QLabel;
class QTimer;

namespace t7 {

// The splash window: the product banner for three seconds while the program starts.
class TForm5 : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kShowMs = 3000;
    explicit TForm5(QWidget* parent = nullptr);

    QLabel* Image1;
    QTimer* Timer1;

    void FormShow();
    void Timer1Timer();

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace t7
