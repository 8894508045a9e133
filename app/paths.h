// Folders of the workstation. Everything it keeps lives under the program folder
// (the folder of the executable): the database in "data", the frame files in
// "patientData/<code>/{LAO,RAO,IVUS}", the working folders of a new study in "cache".
//
// Tests point the program folder and the runtime folder (single-instance lock and
// socket) at temporary folders with SetRoot / SetRuntimeDir.
#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>

struct OpenCard;

namespace AppPaths {

// The program folder: QCoreApplication::applicationDirPath() unless SetRoot was called.
QString Root();
void SetRoot(const QString& folder); // empty: back to the executable's folder

// The per-user runtime folder that holds "OneInstanceOnly.lock" and the "Tarvinex" socket:
// $XDG_RUNTIME_DIR (QStandardPaths::RuntimeLocation) unless SetRuntimeDir was called.
QString RuntimeDir();
void SetRuntimeDir(const QString& folder);

QString DataDir();                          // <root>/data
QString DatabaseFile();                     // <root>/data/angiodb.sqlite
QString BackgroundFile();                   // <root>/background.png
QString PatientDataDir();                   // <root>/patientData
QString PatientDir(int code);               // <root>/patientData/<code>
QString RecordingDir(int code, const QString& recording); // .../<code>/<LAO|RAO|IVUS>/  (ends with '/')
QString FrameFile(int code, const QString& recording, long long n); // .../<code>/IVUS/IVUS.12.jpg
QString CacheDir();                         // <root>/cache

// The frame-file names of study/frame_files.h in Qt's strings.
QString FramePrefix(const QString& recording);            // "IVUS" -> "IVUS."
QString FrameFileName(const QString& prefix, long long n); // ("IVUS.", 12) -> "IVUS.12.jpg"
// The file of the open card's analysed IVUS frame k: .../<code>/IVUS/IVUS.<file k>.jpg
QString AnalysedFramePath(const OpenCard& card, std::size_t k);

// What of the data cannot be written now (native paths): the database file, and the data,
// patientData and cache folders (missing folders are created first). Each is tried for
// real (opened for writing, a scratch file made), so it also holds for root and for
// read-only mounts. Empty when everything can be written.
QStringList UnwritableDataPlaces();

} // namespace AppPaths
