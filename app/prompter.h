// The message seam. Every user message of the workstation goes through the current
// Prompter, never straight to QMessageBox, so tests can see and answer them.
//
//   Prompt().Error(text)            error icon, OK           (caption: the application title)
//   Prompt().Warning(text)          warning icon, OK
//   Prompt().Info(text)             information icon, OK
//   Prompt().AskYesNo(text)         question icon, Yes/No    -> true for Yes
//   Prompt().AskYesNoDefaultNo(text)  the same with No as the default button (questions
//                                   before something is erased)
//   Prompt().AskOkCancel(text)      question icon, OK/Cancel -> true for OK
//   Prompt().Plain(text)            no icon, OK
//   Prompt().ErrorDialog(text)      the application's error dialog ("Error", error icon, OK):
//                                   exceptions caught in event handlers, windows that fail to open
//   Prompt().InfoDialog(text)       the information dialog ("Information")
//   Prompt().Message(caption, text, icon)  a box with its own caption (shell-open failures)
//
// Production uses QtPrompter (modal QMessageBox). Tests install a ScriptedPrompter with
// SetPrompter: it records every message and answers questions from a script.
//
// Also here: RunGuarded (exceptions in event handlers), FileFailureText (files that cannot be
// read) and WaitCursor (the hourglass).
#pragma once

#include <QMessageBox>
#include <QString>

#include <deque>
#include <exception>
#include <functional>
#include <vector>

class QWidget;

class Prompter {
public:
    enum class Icon { None, Information, Warning, Error, Question };
    enum class Kind { Error, Warning, Info, YesNo, YesNoDefaultNo, OkCancel, Plain, ErrorDialog, InfoDialog, Message };

    virtual ~Prompter() = default;

    void Error(const QString& text) { Show(Kind::Error, Caption(), text, Icon::Error); }
    void Warning(const QString& text) { Show(Kind::Warning, Caption(), text, Icon::Warning); }
    void Info(const QString& text) { Show(Kind::Info, Caption(), text, Icon::Information); }
    bool AskYesNo(const QString& text) { return Show(Kind::YesNo, Caption(), text, Icon::Question); }
    bool AskYesNoDefaultNo(const QString& text) { return Show(Kind::YesNoDefaultNo, Caption(), text, Icon::Question); }
    bool AskOkCancel(const QString& text) { return Show(Kind::OkCancel, Caption(), text, Icon::Question); }
    void Plain(const QString& text) { Show(Kind::Plain, Caption(), text, Icon::None); }
    void ErrorDialog(const QString& text) { Show(Kind::ErrorDialog, QStringLiteral("Error"), text, Icon::Error); }
    void InfoDialog(const QString& text) { Show(Kind::InfoDialog, QStringLiteral("Information"), text, Icon::Information); }
    void Message(const QString& caption, const QString& text, Icon icon) { Show(Kind::Message, caption, text, icon); }

    // The caption of the boxes: the application title ("3D Kestrova v2.1").
    static QString Caption();

protected:
    // Shows one message; returns true for Yes/OK (always true for plain messages).
    virtual bool Show(Kind kind, const QString& caption, const QString& text, Icon icon) = 0;
};

// The production prompter: modal message boxes over the active window.
class QtPrompter : public Prompter {
protected:
    bool Show(Kind kind, const QString& caption, const QString& text, Icon icon) override;
};

// A recording prompter for tests: every message is kept in `messages`; questions take
// the next scripted answer (default answer when the script is empty).
class ScriptedPrompter : public Prompter {
public:
    struct Record {
        Kind kind;
        QString caption;
        QString text;
        Icon icon;
    };
    std::vector<Record> messages;
    std::deque<bool> answers;
    bool default_answer = true;
    // Called for every message after it is recorded (a test may act while "the box is up").
    std::function<void(const Record&)> on_message;

    QStringList Texts() const;
    void Clear() { messages.clear(); }

protected:
    bool Show(Kind kind, const QString& caption, const QString& text, Icon icon) override;
};

// The current prompter (a QtPrompter unless one was installed).
Prompter& Prompt();
// Installs a prompter (nullptr: back to the QtPrompter); the caller keeps ownership.
void SetPrompter(Prompter* prompter);

// Installs a prompter for a scope and puts the previous one back afterwards.
class ScopedPrompter {
public:
    explicit ScopedPrompter(Prompter& prompter);
    ~ScopedPrompter();
    ScopedPrompter(const ScopedPrompter&) = delete;
    ScopedPrompter& operator=(const ScopedPrompter&) = delete;

private:
    Prompter* previous_;
};

// Runs an event handler's body; an exception is shown with its text in the application's
// error dialog (and does not cross the event loop). Returns false when one was caught.
bool RunGuarded(const std::function<void()>& body);
// The text of the exception in flight (for catch blocks): what() or the empty text.
QString ExceptionText(std::exception_ptr e);

// The user's text for a file that could not be read or imported: the file's name and
// what the user can act on ("is not a DICOM file", "is incomplete", "uses a compression
// this workstation does not read (progressive JPEG)", ...), then the technical text on a
// detail line. A DICOM toolkit exception may come as it is or nested in another
// (std::throw_with_nested); the text of any other exception is meant for the user already
// and follows "cannot be imported:". Looks at the first bytes of the file when the
// exception alone does not say what is wrong with it.
QString FileFailureText(const QString& path, std::exception_ptr error);
// True when the exception is, or holds nested, an exception of the DICOM toolkit.
bool IsDicomToolkitFailure(std::exception_ptr error);

// The hourglass cursor for a scope; Restore() puts the previous cursor back early
// (before a message box). Restored at the latest when the scope ends, also on exceptions.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    void Restore();
    bool Active() const { return active_; }

private:
    bool active_ = false;
};
