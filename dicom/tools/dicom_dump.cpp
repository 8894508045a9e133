// dicom-dump FILE: prints the elements of a DICOM file as the toolkit reads
// them, one per line. A file that cannot be read prints, on stderr, what the
// workstation's windows say of it (the toolkit's own text on its detail line)
// and exits with 1.
#include "dicom/base/exceptionsManager.h"
#include "dicom/base/stream.h"
#include "dicom/base/streamReader.h"
#include "dicom/core/codecFactory.h"
#include "dicom/core/dataSetDumper.h"
#include "import/core/file_failure.h"

#include <cstdio>
#include <iostream>

using namespace Halvoran;
using namespace Halvoran::Varnix;

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::cerr << "usage: dicom-dump FILE\n";
        return 2;
    }
    try
    {
        ptr<stream> file(new stream);
        file->openFile(std::string(argv[1]), std::ios_base::in);
        ptr<streamReader> reader(new streamReader(file));
        ptr<dataSet> loaded = codecs::codecFactory::getCodecFactory()->load(reader, 0xFFFFFFFFu);
        dataSetDumper::dump(loaded, std::cout);
        return 0;
    }
    catch (const std::exception&)
    {
        exceptionsManager::getTrailText();
        std::cerr << studyimport::FileFailureText(argv[1], std::current_exception()) << '\n';
        return 1;
    }
}
