// Files that cannot be read: the text a user can act on, the same as the command-line
// tools print (import/core/file_failure.h builds it).
#include "app/prompter.h"

#include "import/core/file_failure.h"

#include <QDir>

bool IsDicomToolkitFailure(std::exception_ptr error) { return studyimport::IsDicomToolkitFailure(error); }

QString FileFailureText(const QString& path, std::exception_ptr error)
{
    return QString::fromStdString(studyimport::FileFailureText(QDir::toNativeSeparators(path).toStdString(), error));
}
