// Forms of the prompt layer: the real dialog built from the fields, and the
// scripted answers.
#include "platform/prompt.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHash>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace platform {

namespace {

// The dialog: one row per field; a change runs the form's follow and shows
// what it changed in the other fields.
class FormDialog : public QDialog {
public:
    explicit FormDialog(Form& form) : QDialog(QApplication::activeWindow()), form_(form) {
        setWindowTitle(form.title);
        auto* rows = new QFormLayout;
        for (int i = 0; i < int(form.fields.size()); ++i)
            rows->addRow(form.fields[size_t(i)].label, makeEditor(i));
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        auto* all = new QVBoxLayout(this);
        all->addLayout(rows);
        all->addWidget(buttons);
        display(-1);
    }

private:
    QWidget* makeEditor(int i) {
        FormField& f = form_.fields[size_t(i)];
        switch (f.kind) {
        case FormField::Kind::Choice: {
            auto* box = new QWidget(this);
            auto* row = new QHBoxLayout(box);
            row->setContentsMargins(0, 0, 0, 0);
            auto* group = new QButtonGroup(box);
            for (int k = 0; k < f.choices.size(); ++k) {
                auto* b = new QRadioButton(f.choices[k], box);
                group->addButton(b, k);
                row->addWidget(b);
            }
            connect(group, &QButtonGroup::idClicked, this, [this, i](int id) { changed(i, id); });
            choices_[i] = group;
            return box;
        }
        case FormField::Kind::Check: {
            auto* c = new QCheckBox(this);
            connect(c, &QCheckBox::toggled, this, [this, i](bool on) { changed(i, on ? 1 : 0); });
            checks_[i] = c;
            return c;
        }
        case FormField::Kind::Number: {
            auto* n = new QDoubleSpinBox(this);
            n->setDecimals(f.decimals);
            n->setRange(f.minimum, f.maximum);
            n->setKeyboardTracking(false);
            connect(n, &QDoubleSpinBox::valueChanged, this, [this, i](double v) { changed(i, v); });
            numbers_[i] = n;
            return n;
        }
        case FormField::Kind::Colour: {
            auto* b = new QPushButton(this);
            b->setMinimumWidth(60);
            connect(b, &QPushButton::clicked, this, [this, i] {
                const QColor c = QColorDialog::getColor(QColor::fromRgb(QRgb(form_.fields[size_t(i)].value)), this);
                if (c.isValid())
                    changed(i, double(c.rgb() & 0xFFFFFF));
            });
            colours_[i] = b;
            return b;
        }
        }
        return new QWidget(this);
    }

    void changed(int i, double value) {
        form_.fields[size_t(i)].value = value;
        if (form_.follow)
            form_.follow(form_.fields, i);
        display(i);
    }

    // Puts the values into the editors (all but the one the user is editing).
    void display(int except) {
        for (int i = 0; i < int(form_.fields.size()); ++i) {
            if (i == except)
                continue;
            const FormField& f = form_.fields[size_t(i)];
            if (auto* g = choices_.value(i)) {
                if (QAbstractButton* b = g->button(int(f.value)))
                    b->setChecked(true);
            } else if (auto* c = checks_.value(i)) {
                const QSignalBlocker quiet(c);
                c->setChecked(f.value != 0);
            } else if (auto* n = numbers_.value(i)) {
                const QSignalBlocker quiet(n);
                n->setValue(f.value);
            } else if (auto* b = colours_.value(i)) {
                b->setStyleSheet(QStringLiteral("background-color: #%1").arg(qint64(f.value), 6, 16, QChar('0')));
            }
        }
    }

    Form& form_;
    QHash<int, QButtonGroup*> choices_;
    QHash<int, QCheckBox*> checks_;
    QHash<int, QDoubleSpinBox*> numbers_;
    QHash<int, QPushButton*> colours_;
};

}  // namespace

bool Prompt::form(Form& form) {
    const Form before = form;
    FormDialog dialog(form);
    if (dialog.exec() == QDialog::Accepted)
        return true;
    form.fields = before.fields;
    return false;
}

bool ScriptedPrompt::form(Form& form) {
    formTitles << form.title;
    if (formEdits.empty())
        return false;
    const auto edits = formEdits.front();
    formEdits.pop_front();
    if (!edits)
        return false;
    for (const auto& [field, value] : *edits) {
        if (field < 0 || field >= int(form.fields.size()))
            continue;
        form.fields[size_t(field)].value = value;
        if (form.follow)
            form.follow(form.fields, field);
    }
    return true;
}

}  // namespace platform
