#pragma once
// Files that cannot be read or imported, told to the user: the same text in the windows
// (through the message seam) and in the command-line tools. The DICOM toolkit names the
// failure (its exception class and English text); this turns it into what a user can act
// on, with the toolkit's text on a detail line.
#include <exception>
#include <optional>
#include <string>

namespace studyimport {

// The user's text for a file that could not be read or imported: the file's name and
// what the user can act on ("is not a DICOM file", "is incomplete", "uses a compression
// this workstation does not read (JPEG 2000)", ...), then the technical text on a line
// "Detail: ..." (for a compression, the transfer syntax UID). A DICOM toolkit exception
// may come as it is or nested in another (std::throw_with_nested); the text of any other
// exception is meant for the user already and follows "cannot be imported:". Looks at
// the first bytes of the file when the exception alone does not say what is wrong.
std::string FileFailureText(const std::string& path, std::exception_ptr error);

// True when the exception is, or holds nested, an exception of the DICOM toolkit.
bool IsDicomToolkitFailure(std::exception_ptr error);

// The compression a user knows by name ("JPEG 2000", "JPEG-LS", "deflate", "MPEG-2
// video", ...) of a transfer syntax UID that no reader here handles; nothing for the
// syntaxes that are read and for UIDs that name no compression.
std::optional<std::string> UnreadCompression(const std::string& transferSyntax);

} // namespace studyimport
