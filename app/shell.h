#pragma once

#include "app/about.h"
#include "app/help_window.h"
#include "app/logo.h"
#include "device/receive.h"
#include "output_ui/graf.h"
#include "output_ui/param_graf.h"
#include "ui/main.h"
#include "ui/widget_prompts.h"

#include <memory>

namespace t7 {

// The program as a whole: the windows created once, in order, around one main window.
class Shell
{
public:
    // prompts: the dialogs to use; the real ones unless a test brings its own.
    explicit Shell(Prompts* prompts = nullptr);
    ~Shell();

    // Shows the splash window for its three seconds, then the main window, maximized.
    void start();

    TForm1& Form1() { return *m_form1; }
    TForm2& Form2() { return *m_form2; }
    TForm3& Form3() { return *m_form3; }
    TForm4& Form4() { return *m_form4; }
    Tform6& Form6() { return *m_form6; }
    HelpWindow& Help();

    // The Qt translations for Russian, so that standard buttons read "Да", "Нет", "Отмена".
    static void loadTranslations();

private:
    std::unique_ptr<WidgetPrompts> m_ownPrompts;
    Prompts& m_prompts;
    std::unique_ptr<TForm1> m_form1;
    std::unique_ptr<TForm2> m_form2;
    std::unique_ptr<TForm3> m_form3;
    std::unique_ptr<TForm4> m_form4;
    std::unique_ptr<TForm5> m_form5;
    std::unique_ptr<Tform6> m_form6;
    std::unique_ptr<HelpWindow> m_help;
};

} // namespace t7
