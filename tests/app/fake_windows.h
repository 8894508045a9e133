// Stand-ins for the analysis windows: MDI children that hand a fixed snapshot to the save.
#pragma once

#include "app/card_sources.h"
#include "app/child_form.h"

#include <stdexcept>

class FakeIvusForm : public TChildForm, public IvusCardSource {
public:
    explicit FakeIvusForm(IvusSnapshot s = {})
        : TChildForm("IVUSForm", "IVUS", QSize(400, 300)), snapshot(std::move(s)) {}
    IvusSnapshot TakeIvusSnapshot() const override { return snapshot; }
    IvusSnapshot snapshot;
};

class FakeAngioForm : public TChildForm, public AngioCardSource {
public:
    explicit FakeAngioForm(AngioSnapshot s = {})
        : TChildForm("ANGIOForm", "ANGIO", QSize(400, 300)), snapshot(std::move(s)) {}
    AngioSnapshot TakeAngioSnapshot() const override { return snapshot; }
    AngioSnapshot snapshot;
};

// A plain child window for the kinds whose contents do not matter to the shell.
class FakeChildForm : public TChildForm {
public:
    explicit FakeChildForm(const QString& name) : TChildForm(name, name, QSize(300, 200)) {}
};
