#pragma once
// Every modal interaction of the program (message boxes, the open and save
// dialogs) goes through this layer, so that tests and the batch tool answer by
// script and nothing ever blocks.
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QWidget;

namespace platform {

// Answers, with the numbers the program's routines compare against.
enum Answer : int { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

enum class Buttons { Ok, YesNoCancel, YesNo };

// One labelled field of a form (the settings, resize and rotate dialogs).
struct FormField {
    enum class Kind { Choice, Check, Number, Colour };
    Kind kind = Kind::Number;
    QString label;
    QStringList choices;  // Choice: the options, one of which is chosen
    // Choice: the chosen index; Check: 1 ticked, 0 not; Number: the value;
    // Colour: the colour as 0xRRGGBB.
    double value = 0;
    double minimum = 0, maximum = 0;  // Number
    int decimals = 0;                 // Number
};

struct Form {
    QString title;
    std::vector<FormField> fields;
    // Runs after the user changed field `changed`, so that fields depending on
    // it follow (a height that keeps the proportions, for instance).
    std::function<void(std::vector<FormField>& fields, int changed)> follow;
};

class Prompt {
public:
    virtual ~Prompt() = default;
    // A message box with the program's title. A single carriage return in text
    // is a line break. Returns the answer.
    virtual int message(const QString& text, Buttons buttons = Buttons::Ok) = 0;
    // A message about something that happened beside the command at hand (a
    // background write that failed): the same box, unless a prompt tells the
    // two apart.
    virtual void notice(const QString& text) { message(text, Buttons::Ok); }
    // The open dialog; empty when cancelled.
    virtual QString openFile(const QString& title, const QString& filter, const QString& startFolder = QString()) = 0;
    // The save dialog, starting with initialPath; empty when cancelled.
    virtual QString saveFile(const QString& title, const QString& initialPath, const QString& filter) = 0;
    // A form with OK and Cancel; true and the values in form.fields when the
    // user confirmed it. The real one is a dialog (prompt_form.cpp).
    virtual bool form(Form& form);
};

// The prompt in use (the real dialogs unless a script was installed).
Prompt& prompt();
// Installs a prompt (not owned); nullptr goes back to the real dialogs.
void setPrompt(Prompt* p);

// The title of every message box.
QString programTitle();

// The window the dialogs are centred on when no other dialog is in front: the
// main window, also before it is first shown (not owned; nullptr for none).
void setDialogOwner(QWidget* owner);
// The parent of the next dialog: the modal dialog in front, else the owner,
// else the active window (nullptr when there is none).
QWidget* dialogParent();

// A prompt that records every message and answers from queues. An empty queue
// answers Cancel to questions, OK to messages and an empty name to dialogs.
class ScriptedPrompt : public Prompt {
public:
    QStringList messages;           // every message text shown, in order
    std::deque<int> answers;        // answers to Yes/No/Cancel questions
    std::deque<QString> openNames;  // names chosen in the open dialog
    QStringList openStartPaths;     // where each open dialog started
    std::deque<QString> saveNames;  // names chosen in the save dialog
    QStringList saveInitialPaths;   // the initial path each save dialog offered
    // Forms: each entry is the user's changes to one form, in order (field
    // index, value), each followed by the form's follow; nullopt cancels it.
    std::deque<std::optional<std::vector<std::pair<int, double>>>> formEdits;
    QStringList formTitles;         // the title of every form shown
    int defaultAnswer = Cancel;

    int message(const QString& text, Buttons buttons = Buttons::Ok) override;
    QString openFile(const QString& title, const QString& filter, const QString& startFolder = QString()) override;
    QString saveFile(const QString& title, const QString& initialPath, const QString& filter) override;
    bool form(Form& form) override;
};

// Installs a scripted prompt for the lifetime of this object.
class ScopedPrompt {
public:
    explicit ScopedPrompt(Prompt* p);
    ~ScopedPrompt();
private:
    Prompt* previous_;
};

}  // namespace platform
