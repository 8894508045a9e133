// The workstation of one GUI test: the program and runtime folders at the test's own
// temporary folders, the application title, the test's prompter and, as the test needs,
// the data module (`dm`). EndTestWorkstation frees the main window, every other window
// and the data module, and puts the paths and the prompter back.
//
//     void SetUp() override { BeginTestWorkstation(root.path(), runtime.path(), &prompter); ConnectTestDatabase(); }
//     void TearDown() override { EndTestWorkstation(); }
#pragma once

#include <QString>

class Prompter;
class Tdm;

// Points the program folder at `root` and the runtime folder at `runtime`, sets the
// application title and installs `prompter` (none: the installed one stays).
void BeginTestWorkstation(const QString& root, const QString& runtime, Prompter* prompter);

// Connects `data` to the database of the program folder (created on first use).
void ConnectTestDatabase(Tdm& data);
// The same for the global data module, created first when there is none.
void ConnectTestDatabase();

// Hides and frees the main window and every other top-level window, frees the data
// module, removes the prompter and resets both folders.
void EndTestWorkstation();
