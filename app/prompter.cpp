#include "app/prompter.h"

#include "app/application.h"

#include <QApplication>
#include <QCoreApplication>
#include <QStringList>

namespace {
QtPrompter g_qt_prompter;
Prompter* g_prompter = nullptr;
} // namespace

QString Prompter::Caption()
{
    return ApplicationTitle();
}

bool QtPrompter::Show(Kind kind, const QString& caption, const QString& text, Icon icon)
{
    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    switch (icon) {
    case Icon::None: qicon = QMessageBox::NoIcon; break;
    case Icon::Information: qicon = QMessageBox::Information; break;
    case Icon::Warning: qicon = QMessageBox::Warning; break;
    case Icon::Error: qicon = QMessageBox::Critical; break;
    case Icon::Question: qicon = QMessageBox::Question; break;
    }
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton def = QMessageBox::Ok;
    if (kind == Kind::YesNo || kind == Kind::YesNoDefaultNo) {
        buttons = QMessageBox::Yes | QMessageBox::No;
        def = kind == Kind::YesNo ? QMessageBox::Yes : QMessageBox::No;
    } else if (kind == Kind::OkCancel) {
        buttons = QMessageBox::Ok | QMessageBox::Cancel;
    }
    QMessageBox box(qicon, caption, text, buttons, QApplication::activeWindow());
    box.setDefaultButton(def);
    const int r = box.exec();
    return r == QMessageBox::Yes || r == QMessageBox::Ok;
}

QStringList ScriptedPrompter::Texts() const
{
    QStringList out;
    for (const auto& m : messages)
        out << m.text;
    return out;
}

bool ScriptedPrompter::Show(Kind kind, const QString& caption, const QString& text, Icon icon)
{
    messages.push_back({kind, caption, text, icon});
    if (on_message)
        on_message(messages.back());
    if (kind != Kind::YesNo && kind != Kind::YesNoDefaultNo && kind != Kind::OkCancel)
        return true;
    if (answers.empty())
        return default_answer;
    const bool a = answers.front();
    answers.pop_front();
    return a;
}

Prompter& Prompt()
{
    return g_prompter ? *g_prompter : g_qt_prompter;
}

void SetPrompter(Prompter* prompter) { g_prompter = prompter; }

ScopedPrompter::ScopedPrompter(Prompter& prompter) : previous_(g_prompter) { g_prompter = &prompter; }

ScopedPrompter::~ScopedPrompter() { g_prompter = previous_; }

QString ExceptionText(std::exception_ptr e)
{
    try {
        if (e)
            std::rethrow_exception(e);
    } catch (const std::exception& ex) {
        return QString::fromStdString(ex.what());
    } catch (...) {
    }
    return {};
}

bool RunGuarded(const std::function<void()>& body)
{
    try {
        body();
        return true;
    } catch (...) {
        const QString text = ExceptionText(std::current_exception());
        Prompt().ErrorDialog(text);
        return false;
    }
}

WaitCursor::WaitCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    active_ = true;
}

WaitCursor::~WaitCursor() { Restore(); }

void WaitCursor::Restore()
{
    if (active_) {
        QApplication::restoreOverrideCursor();
        active_ = false;
    }
}
