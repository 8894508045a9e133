// The analysis windows as sources of the card's snapshots (study/card_snapshot.h). The
// angiography window implements AngioCardSource and the IVUS window IvusCardSource (next
// to their QObject base):
//     class TIVUSForm : public TChildForm, public IvusCardSource { ... };
// TMainForm::SavePatientCard asks the open windows (ANGIOForm, IVUSForm) for a snapshot
// and writes it with SaveCard (app/card_store.h).
#pragma once

#include "study/card_snapshot.h"

class AngioCardSource {
public:
    virtual ~AngioCardSource() = default;
    virtual AngioSnapshot TakeAngioSnapshot() const = 0;
};

class IvusCardSource {
public:
    virtual ~IvusCardSource() = default;
    virtual IvusSnapshot TakeIvusSnapshot() const = 0;
};
