#include "dicom/core/dicomDictionary.h"

#include "dicom/base/exceptionsManager.h"

namespace Halvoran::Varnix
{

namespace
{
struct tagRow
{
    std::uint32_t id;
    const wchar_t* name;
    const char* vr;
};

// Standard attributes of the groups the toolkit and the import meet. Where
// the standard allows US or SS the table holds SS; LUT and palette data and
// waveform values are OW, Pixel Data is OB. Group lengths carry UL and the
// title of their group.
const tagRow standardTags[] = {
    {0x00020000u, L"File meta elements", "UL"},
    {0x00020001u, L"File Meta Information Version", "OB"},
    {0x00020002u, L"Media Storage SOP Class UID", "UI"},
    {0x00020003u, L"Media Storage SOP Instance UID", "UI"},
    {0x00020010u, L"Transfer Syntax", "UI"},
    {0x00020012u, L"Implementation Class UID", "UI"},
    {0x00020013u, L"Implementation Version Name", "SH"},
    {0x00020016u, L"Source Application Entity Title", "AE"},
    {0x00020100u, L"Private Information Creator UID", "UI"},
    {0x00020102u, L"Private Information", "OB"},
    {0x00040000u, L"Directory structuring elements", "UL"},
    {0x00041130u, L"File-set ID", "CS"},
    {0x00041141u, L"Referenced File ID", "CS"},
    {0x00041200u, L"Offset of the First Directory Record of the Root Directory Entity", "UL"},
    {0x00041202u, L"Offset of the Last Directory Record of the Root Directory Entity", "UL"},
    {0x00041212u, L"File-set Consistency Flag", "US"},
    {0x00041220u, L"Directory Record Sequence", "SQ"},
    {0x00041400u, L"Offset of the Next Directory Record", "UL"},
    {0x00041410u, L"Record In-use Flag", "US"},
    {0x00041420u, L"Offset of Referenced Lower-Level Directory Entity", "UL"},
    {0x00041430u, L"Directory Record Type", "CS"},
    {0x00041500u, L"Referenced File ID", "CS"},
    {0x00041510u, L"Referenced SOP Class UID in File", "UI"},
    {0x00041511u, L"Referenced SOP Instance UID in File", "UI"},
    {0x00041512u, L"Referenced Transfer Syntax UID in File", "UI"},
    {0x00080000u, L"General data", "UL"},
    {0x00080001u, L"Length to End", "UL"},
    {0x00080005u, L"Specific Character Set", "CS"},
    {0x00080008u, L"Image Type", "CS"},
    {0x00080010u, L"Recognition Code", ""},
    {0x00080012u, L"Instance Creation Date", "DA"},
    {0x00080013u, L"Instance Creation Time", "TM"},
    {0x00080014u, L"Instance Creator UID", "UI"},
    {0x00080016u, L"SOP Class UID", "UI"},
    {0x00080018u, L"SOP Instance UID", "UI"},
    {0x00080020u, L"Study Date", "DA"},
    {0x00080021u, L"Series Date", "DA"},
    {0x00080022u, L"Acquisition Date", "DA"},
    {0x00080023u, L"Content Date", "DA"},
    {0x00080024u, L"Overlay Date", "DA"},
    {0x00080025u, L"Curve Date", "DA"},
    {0x0008002Au, L"Acquisition DateTime", "DT"},
    {0x00080030u, L"Study Time", "TM"},
    {0x00080031u, L"Series Time", "TM"},
    {0x00080032u, L"Acquisition Time", "TM"},
    {0x00080033u, L"Content Time", "TM"},
    {0x00080034u, L"Overlay Time", "TM"},
    {0x00080035u, L"Curve Time", "TM"},
    {0x00080040u, L"Data Set Type", ""},
    {0x00080041u, L"Data Set Subtype", ""},
    {0x00080042u, L"Nuclear Medicine Series Type", "CS"},
    {0x00080050u, L"Accession Number", "SH"},
    {0x00080052u, L"Query/Retrieve Level", "CS"},
    {0x00080054u, L"Retrieve AE Title", "AE"},
    {0x00080058u, L"Failed SOP Instance UID List", "UI"},
    {0x00080060u, L"Modality", "CS"},
    {0x00080064u, L"Conversion Type", "CS"},
    {0x00080070u, L"Manufacturer", "LO"},
    {0x00080080u, L"Institution Name", "LO"},
    {0x00080081u, L"Institution Address", "ST"},
    {0x00080082u, L"Institution Code Sequence", "SQ"},
    {0x00080090u, L"Referring Physician's Name", "PN"},
    {0x00080092u, L"Referring Physician's Address", "ST"},
    {0x00080094u, L"Referring Physician's Telephone Numbers", "SH"},
    {0x00080100u, L"Code Value", "SH"},
    {0x00080102u, L"Coding Scheme Designator", "SH"},
    {0x00080103u, L"Coding Scheme Version", "SH"},
    {0x00080104u, L"Code Meaning", "LO"},
    {0x00080201u, L"Timezone Offset From UTC", "SH"},
    {0x00081000u, L"Network ID", ""},
    {0x00081010u, L"Station Name", "SH"},
    {0x00081030u, L"Study Description", "LO"},
    {0x00081032u, L"Procedure Code Sequence", "SQ"},
    {0x0008103Eu, L"Series Description", "LO"},
    {0x00081040u, L"Institutional Department Name", "LO"},
    {0x00081048u, L"Physician(s) of Record", "PN"},
    {0x00081050u, L"Performing Physician's Name", "PN"},
    {0x00081060u, L"Name of Physician(s) Reading Study", "PN"},
    {0x00081070u, L"Operators' Name", "PN"},
    {0x00081080u, L"Admitting Diagnoses Description", "LO"},
    {0x00081090u, L"Manufacturer's Model Name", "LO"},
    {0x00081110u, L"Referenced Study Sequence", "SQ"},
    {0x00081111u, L"Referenced Performed Procedure Step Sequence", "SQ"},
    {0x00081115u, L"Referenced Series Sequence", "SQ"},
    {0x00081120u, L"Referenced Patient Sequence", "SQ"},
    {0x00081125u, L"Referenced Visit Sequence", "SQ"},
    {0x00081140u, L"Referenced Image Sequence", "SQ"},
    {0x00081150u, L"Referenced SOP Class UID", "UI"},
    {0x00081155u, L"Referenced SOP Instance UID", "UI"},
    {0x00081160u, L"Referenced Frame Number", "IS"},
    {0x00082111u, L"Derivation Description", "ST"},
    {0x00082112u, L"Source Image Sequence", "SQ"},
    {0x00082120u, L"Stage Name", "SH"},
    {0x00082122u, L"Stage Number", "IS"},
    {0x00082124u, L"Number of Stages", "IS"},
    {0x00082128u, L"View Number", "IS"},
    {0x00082129u, L"Number of Event Timers", "IS"},
    {0x0008212Au, L"Number of Views in Stage", "IS"},
    {0x00082130u, L"Event Elapsed Time(s)", "DS"},
    {0x00082132u, L"Event Timer Name(s)", "LO"},
    {0x00082142u, L"Start Trim", "IS"},
    {0x00082143u, L"Stop Trim", "IS"},
    {0x00082144u, L"Recommended Display Frame Rate", "IS"},
    {0x00082218u, L"Anatomic Region Sequence", "SQ"},
    {0x00100000u, L"Patient's data", "UL"},
    {0x00100010u, L"Patient's Name", "PN"},
    {0x00100020u, L"Patient ID", "LO"},
    {0x00100021u, L"Issuer of Patient ID", "LO"},
    {0x00100030u, L"Patient's Birth Date", "DA"},
    {0x00100032u, L"Patient's Birth Time", "TM"},
    {0x00100040u, L"Patient's Sex", "CS"},
    {0x00101000u, L"Other Patient IDs", "LO"},
    {0x00101001u, L"Other Patient Names", "PN"},
    {0x00101005u, L"Patient's Birth Name", "PN"},
    {0x00101010u, L"Patient's Age", "AS"},
    {0x00101020u, L"Patient's Size", "DS"},
    {0x00101030u, L"Patient's Weight", "DS"},
    {0x00101040u, L"Patient's Address", "LO"},
    {0x00101050u, L"Insurance Plan Identification", ""},
    {0x00101060u, L"Patient's Mother's Birth Name", "PN"},
    {0x00102000u, L"Medical Alerts", "LO"},
    {0x00102110u, L"Contrast Allergies", "LO"},
    {0x00102150u, L"Country of Residence", "LO"},
    {0x00102160u, L"Ethnic Group", "SH"},
    {0x00102180u, L"Occupation", "SH"},
    {0x001021B0u, L"Additional Patient History", "LT"},
    {0x00104000u, L"Patient Comments", "LT"},
    {0x00180000u, L"Acquisition", "UL"},
    {0x00180010u, L"Contrast/Bolus Agent", "LO"},
    {0x00180015u, L"Body Part Examined", "CS"},
    {0x00180020u, L"Scanning Sequence", "CS"},
    {0x00180050u, L"Slice Thickness", "DS"},
    {0x00180060u, L"KVP", "DS"},
    {0x00180088u, L"Spacing Between Slices", "DS"},
    {0x00181000u, L"Device Serial Number", "LO"},
    {0x00181004u, L"Plate ID", "LO"},
    {0x00181010u, L"Secondary Capture Device ID", "LO"},
    {0x00181012u, L"Date of Secondary Capture", "DA"},
    {0x00181014u, L"Time of Secondary Capture", "TM"},
    {0x00181016u, L"Secondary Capture Device Manufacturer", "LO"},
    {0x00181018u, L"Secondary Capture Device Manufacturer's Model Name", "LO"},
    {0x00181019u, L"Secondary Capture Device Software Versions", "LO"},
    {0x00181020u, L"Software Version(s)", "LO"},
    {0x00181030u, L"Protocol Name", "LO"},
    {0x00181060u, L"Trigger Time", "DS"},
    {0x00181062u, L"Nominal Interval", "IS"},
    {0x00181063u, L"Frame Time", "DS"},
    {0x00181064u, L"Cardiac Framing Type", "LO"},
    {0x00181065u, L"Frame Time Vector", "DS"},
    {0x00181066u, L"Frame Delay", "DS"},
    {0x00181088u, L"Heart Rate", "IS"},
    {0x00181110u, L"Distance Source to Detector", "DS"},
    {0x00181111u, L"Distance Source to Patient", "DS"},
    {0x00181114u, L"Estimated Radiographic Magnification Factor", "DS"},
    {0x00181120u, L"Gantry/Detector Tilt", "DS"},
    {0x00181134u, L"Table Motion", "CS"},
    {0x00181135u, L"Table Vertical Increment", "DS"},
    {0x00181136u, L"Table Lateral Increment", "DS"},
    {0x00181137u, L"Table Longitudinal Increment", "DS"},
    {0x00181140u, L"Rotation Direction", "CS"},
    {0x00181147u, L"Field of View Shape", "CS"},
    {0x00181149u, L"Field of View Dimension(s)", "IS"},
    {0x00181150u, L"Exposure Time", "IS"},
    {0x00181151u, L"X-Ray Tube Current", "IS"},
    {0x00181152u, L"Exposure", "IS"},
    {0x00181155u, L"Radiation Setting", "CS"},
    {0x00181160u, L"Filter Type", "SH"},
    {0x00181162u, L"Intensifier Size", "DS"},
    {0x00181164u, L"Imager Pixel Spacing", "DS"},
    {0x00181166u, L"Grid", "CS"},
    {0x00181190u, L"Focal Spot(s)", "DS"},
    {0x00181200u, L"Date of Last Calibration", "DA"},
    {0x00181201u, L"Time of Last Calibration", "TM"},
    {0x00181240u, L"Upper/Lower Pixel Values", ""},
    {0x00181242u, L"Actual Frame Duration", "IS"},
    {0x00181244u, L"Preferred Playback Sequencing", "US"},
    {0x00181500u, L"Positioner Motion", "CS"},
    {0x00181508u, L"Positioner Type", "CS"},
    {0x00181510u, L"Positioner Primary Angle", "DS"},
    {0x00181511u, L"Positioner Secondary Angle", "DS"},
    {0x00181520u, L"Positioner Primary Angle Increment", "DS"},
    {0x00181521u, L"Positioner Secondary Angle Increment", "DS"},
    {0x00181530u, L"Detector Primary Angle", "DS"},
    {0x00181531u, L"Detector Secondary Angle", "DS"},
    {0x00181600u, L"Shutter Shape", "CS"},
    {0x00181602u, L"Shutter Left Vertical Edge", "IS"},
    {0x00181604u, L"Shutter Right Vertical Edge", "IS"},
    {0x00181606u, L"Shutter Upper Horizontal Edge", "IS"},
    {0x00181608u, L"Shutter Lower Horizontal Edge", "IS"},
    {0x00181610u, L"Center of Circular Shutter", "IS"},
    {0x00181612u, L"Radius of Circular Shutter", "IS"},
    {0x00181620u, L"Vertices of the Polygonal Shutter", "IS"},
    {0x00181700u, L"Collimator Shape", "CS"},
    {0x00181702u, L"Collimator Left Vertical Edge", "IS"},
    {0x00181704u, L"Collimator Right Vertical Edge", "IS"},
    {0x00181706u, L"Collimator Upper Horizontal Edge", "IS"},
    {0x00181708u, L"Collimator Lower Horizontal Edge", "IS"},
    {0x00181710u, L"Center of Circular Collimator", "IS"},
    {0x00181712u, L"Radius of Circular Collimator", "IS"},
    {0x00181720u, L"Vertices of the Polygonal Collimator", "IS"},
    {0x00183100u, L"IVUS Acquisition", "CS"},
    {0x00183101u, L"IVUS Pullback Rate", "DS"},
    {0x00183102u, L"IVUS Gated Rate", "DS"},
    {0x00183103u, L"IVUS Pullback Start Frame Number", "IS"},
    {0x00183104u, L"IVUS Pullback Stop Frame Number", "IS"},
    {0x00183105u, L"Lesion Number", "IS"},
    {0x00184000u, L"Acquisition Comments", ""},
    {0x00185000u, L"Output Power", "SH"},
    {0x00185010u, L"Transducer Data", "LO"},
    {0x00185012u, L"Focus Depth", "DS"},
    {0x00185020u, L"Processing Function", "LO"},
    {0x00185030u, L"Dynamic Range", ""},
    {0x00185040u, L"Total Gain", ""},
    {0x00185100u, L"Patient Position", "CS"},
    {0x00185101u, L"View Position", "CS"},
    {0x00186011u, L"Sequence of Ultrasound Regions", "SQ"},
    {0x00186012u, L"Region Spatial Format", "US"},
    {0x00186014u, L"Region Data Type", "US"},
    {0x00186016u, L"Region Flags", "UL"},
    {0x00186018u, L"Region Location Min X0", "UL"},
    {0x0018601Au, L"Region Location Min Y0", "UL"},
    {0x0018601Cu, L"Region Location Max X1", "UL"},
    {0x0018601Eu, L"Region Location Max Y1", "UL"},
    {0x00186020u, L"Reference Pixel X0", "SL"},
    {0x00186022u, L"Reference Pixel Y0", "SL"},
    {0x00186024u, L"Physical Units X Direction", "US"},
    {0x00186026u, L"Physical Units Y Direction", "US"},
    {0x00186028u, L"Reference Pixel Physical Value X", "FD"},
    {0x0018602Au, L"Reference Pixel Physical Value Y", "FD"},
    {0x0018602Cu, L"Physical Delta X", "FD"},
    {0x0018602Eu, L"Physical Delta Y", "FD"},
    {0x00186030u, L"Transducer Frequency", "UL"},
    {0x00186031u, L"Transducer Type", "CS"},
    {0x00186032u, L"Pulse Repetition Frequency", "UL"},
    {0x00200000u, L"Relationship", "UL"},
    {0x0020000Du, L"Study Instance UID", "UI"},
    {0x0020000Eu, L"Series Instance UID", "UI"},
    {0x00200010u, L"Study ID", "SH"},
    {0x00200011u, L"Series Number", "IS"},
    {0x00200012u, L"Acquisition Number", "IS"},
    {0x00200013u, L"Instance Number", "IS"},
    {0x00200020u, L"Patient Orientation", "CS"},
    {0x00200030u, L"Image Position", ""},
    {0x00200032u, L"Image Position (Patient)", "DS"},
    {0x00200035u, L"Image Orientation", ""},
    {0x00200037u, L"Image Orientation (Patient)", "DS"},
    {0x00200050u, L"Location", ""},
    {0x00200052u, L"Frame of Reference UID", "UI"},
    {0x00200060u, L"Laterality", "CS"},
    {0x00200070u, L"Image Geometry Type", ""},
    {0x00200080u, L"Masking Image", ""},
    {0x00200100u, L"Temporal Position Identifier", "IS"},
    {0x00200105u, L"Number of Temporal Positions", "IS"},
    {0x00200110u, L"Temporal Resolution", "DS"},
    {0x00201000u, L"Series in Study", "IS"},
    {0x00201001u, L"Acquisitions in Series", ""},
    {0x00201002u, L"Images in Acquisition", "IS"},
    {0x00201004u, L"Acquisitions in Study", "IS"},
    {0x00201020u, L"Reference", ""},
    {0x00201040u, L"Position Reference Indicator", "LO"},
    {0x00201041u, L"Slice Location", "DS"},
    {0x00201070u, L"Other Study Numbers", "IS"},
    {0x00201200u, L"Number of Patient Related Studies", "IS"},
    {0x00201202u, L"Number of Patient Related Series", "IS"},
    {0x00201204u, L"Number of Patient Related Instances", "IS"},
    {0x00201206u, L"Number of Study Related Series", "IS"},
    {0x00201208u, L"Number of Study Related Instances", "IS"},
    {0x00203401u, L"Modifying Device ID", ""},
    {0x00203402u, L"Modified Image ID", ""},
    {0x00203403u, L"Modified Image Date", ""},
    {0x00203404u, L"Modifying Device Manufacturer", ""},
    {0x00203405u, L"Modified Image Time", ""},
    {0x00203406u, L"Modified Image Description", ""},
    {0x00204000u, L"Image Comments", "LT"},
    {0x00205000u, L"Original Image Identification", ""},
    {0x00205002u, L"Original Image Identification Nomenclature", ""},
    {0x00280000u, L"Image presentation", "UL"},
    {0x00280002u, L"Samples per Pixel", "US"},
    {0x00280004u, L"Photometric Interpretation", "CS"},
    {0x00280005u, L"Image Dimensions", ""},
    {0x00280006u, L"Planar Configuration", "US"},
    {0x00280008u, L"Number of Frames", "IS"},
    {0x00280009u, L"Frame Increment Pointer", "AT"},
    {0x00280010u, L"Rows", "US"},
    {0x00280011u, L"Columns", "US"},
    {0x00280030u, L"Pixel Spacing", "DS"},
    {0x00280031u, L"Zoom Factor", "DS"},
    {0x00280032u, L"Zoom Center", "DS"},
    {0x00280034u, L"Pixel Aspect Ratio", "IS"},
    {0x00280040u, L"Image Format", ""},
    {0x00280050u, L"Manipulated Image", ""},
    {0x00280051u, L"Corrected Image", "CS"},
    {0x00280060u, L"Compression Code", ""},
    {0x00280100u, L"Bits Allocated", "US"},
    {0x00280101u, L"Bits Stored", "US"},
    {0x00280102u, L"High Bit", "US"},
    {0x00280103u, L"Pixel Representation", "US"},
    {0x00280104u, L"Smallest Valid Pixel Value", ""},
    {0x00280105u, L"Largest Valid Pixel Value", ""},
    {0x00280106u, L"Smallest Image Pixel Value", "SS"},
    {0x00280107u, L"Largest Image Pixel Value", "SS"},
    {0x00280108u, L"Smallest Pixel Value in Series", "SS"},
    {0x00280109u, L"Largest Pixel Value in Series", "SS"},
    {0x00280110u, L"Smallest Image Pixel Value in Plane", "SS"},
    {0x00280111u, L"Largest Image Pixel Value in Plane", "SS"},
    {0x00280120u, L"Pixel Padding Value", "SS"},
    {0x00280200u, L"Image Location", ""},
    {0x00280300u, L"Quality Control Image", "CS"},
    {0x00280301u, L"Burned In Annotation", "CS"},
    {0x00281040u, L"Pixel Intensity Relationship", "CS"},
    {0x00281041u, L"Pixel Intensity Relationship Sign", "SS"},
    {0x00281050u, L"Window Center", "DS"},
    {0x00281051u, L"Window Width", "DS"},
    {0x00281052u, L"Rescale Intercept", "DS"},
    {0x00281053u, L"Rescale Slope", "DS"},
    {0x00281054u, L"Rescale Type", "LO"},
    {0x00281055u, L"Window Center & Width Explanation", "LO"},
    {0x00281080u, L"Gray Scale", ""},
    {0x00281090u, L"Recommended Viewing Mode", "CS"},
    {0x00281100u, L"Gray Lookup Table Descriptor", ""},
    {0x00281101u, L"Red Palette Color Lookup Table Descriptor", "SS"},
    {0x00281102u, L"Green Palette Color Lookup Table Descriptor", "SS"},
    {0x00281103u, L"Blue Palette Color Lookup Table Descriptor", "SS"},
    {0x00281199u, L"Palette Color Lookup Table UID", "UI"},
    {0x00281200u, L"Gray Lookup Table Data", ""},
    {0x00281201u, L"Red Palette Color Lookup Table Data", "OW"},
    {0x00281202u, L"Green Palette Color Lookup Table Data", "OW"},
    {0x00281203u, L"Blue Palette Color Lookup Table Data", "OW"},
    {0x00281221u, L"Segmented Red Palette Color Lookup Table Data", "OW"},
    {0x00281222u, L"Segmented Green Palette Color Lookup Table Data", "OW"},
    {0x00281223u, L"Segmented Blue Palette Color Lookup Table Data", "OW"},
    {0x00281300u, L"Implant Present", "CS"},
    {0x00282110u, L"Lossy Image Compression", "CS"},
    {0x00282112u, L"Lossy Image Compression Ratio", "DS"},
    {0x00283000u, L"Modality LUT Sequence", "SQ"},
    {0x00283002u, L"LUT Descriptor", "SS"},
    {0x00283003u, L"LUT Explanation", "LO"},
    {0x00283004u, L"Modality LUT Type", "LO"},
    {0x00283006u, L"LUT Data", "OW"},
    {0x00283010u, L"VOI LUT Sequence", "SQ"},
    {0x00284000u, L"Image Presentation Comments", ""},
    {0x00285000u, L"Bi-Plane Acquisition Sequence", "SQ"},
    {0x00286010u, L"Representative Frame Number", "US"},
    {0x00286020u, L"Frame Numbers of Interest (FOI)", "US"},
    {0x00286022u, L"Frame of Interest Description", "LO"},
    {0x00286030u, L"Mask Pointer(s)", "US"},
    {0x00286040u, L"R Wave Pointer", "US"},
    {0x00286100u, L"Mask Subtraction Sequence", "SQ"},
    {0x00286101u, L"Mask Operation", "CS"},
    {0x00286102u, L"Applicable Frame Range", "US"},
    {0x00286110u, L"Mask Frame Numbers", "US"},
    {0x00286112u, L"Contrast Frame Averaging", "US"},
    {0x00286114u, L"Mask Sub-pixel Shift", "FL"},
    {0x00286120u, L"TID Offset", "SS"},
    {0x00286190u, L"Mask Operation Explanation", "ST"},
    {0x00320000u, L"Study", "UL"},
    {0x0032000Au, L"Study Status ID", "CS"},
    {0x0032000Cu, L"Study Priority ID", "CS"},
    {0x00320012u, L"Study ID Issuer", "LO"},
    {0x00320032u, L"Study Verified Date", "DA"},
    {0x00320033u, L"Study Verified Time", "TM"},
    {0x00320034u, L"Study Read Date", "DA"},
    {0x00320035u, L"Study Read Time", "TM"},
    {0x00321000u, L"Scheduled Study Start Date", "DA"},
    {0x00321001u, L"Scheduled Study Start Time", "TM"},
    {0x00321032u, L"Requesting Physician", "PN"},
    {0x00321033u, L"Requesting Service", "LO"},
    {0x00321060u, L"Requested Procedure Description", "LO"},
    {0x00321064u, L"Requested Procedure Code Sequence", "SQ"},
    {0x00324000u, L"Study Comments", "LT"},
    {0x00380000u, L"", "UL"},
    {0x00380010u, L"Admission ID", "LO"},
    {0x00380300u, L"Current Patient Location", "LO"},
    {0x00400000u, L"", "UL"},
    {0x00400244u, L"Performed Procedure Step Start Date", "DA"},
    {0x00400245u, L"Performed Procedure Step Start Time", "TM"},
    {0x00400253u, L"Performed Procedure Step ID", "SH"},
    {0x00400254u, L"Performed Procedure Step Description", "LO"},
    {0x00400260u, L"Performed Protocol Code Sequence", "SQ"},
    {0x00401001u, L"Requested Procedure ID", "SH"},
    {0x00540000u, L"Nuclear Acquisition", "UL"},
    {0x00540011u, L"Number of Energy Windows", "US"},
    {0x00540021u, L"Number of Detectors", "US"},
    {0x00540081u, L"Number of Slices", "US"},
    {0x00600000u, L"Histogram", "UL"},
    {0x00603000u, L"Histogram Sequence", "SQ"},
    {0x00603002u, L"Histogram Number of Bins", "US"},
    {0x00603004u, L"Histogram First Bin Value", "SS"},
    {0x00603006u, L"Histogram Last Bin Value", "SS"},
    {0x00603008u, L"Histogram Bin Width", "US"},
    {0x00603010u, L"Histogram Explanation", "LO"},
    {0x00603020u, L"Histogram Data", "UL"},
    {0x00880000u, L"Topic", "UL"},
    {0x00880130u, L"Storage Media File-set ID", "SH"},
    {0x00880140u, L"Storage Media File-set UID", "UI"},
    {0x00880200u, L"Icon Image Sequence", "SQ"},
    {0x20000000u, L"", "UL"},
    {0x20000010u, L"Number of Copies", "IS"},
    {0x20000020u, L"Print Priority", "CS"},
    {0x20000030u, L"Medium Type", "CS"},
    {0x20000040u, L"Film Destination", "CS"},
    {0x20000050u, L"Film Session Label", "LO"},
    {0x20000060u, L"Memory Allocation", "IS"},
    {0x2000006Au, L"Color Image Printing Flag", ""},
    {0x200000A0u, L"Collation Flag", ""},
    {0x200000A1u, L"Annotation Flag", ""},
    {0x200000A2u, L"Image Overlay Flag", ""},
    {0x200000A4u, L"Presentation LUT Flag", ""},
    {0x200000A8u, L"Image Box Presentation LUT Flag", ""},
    {0x20000500u, L"Referenced Film Box Sequence", ""},
    {0x20000510u, L"Referenced Stored Print Sequence", ""},
    {0x20500000u, L"", "UL"},
    {0x20500010u, L"Presentation LUT Sequence", "SQ"},
    {0x20500020u, L"Presentation LUT Shape", "CS"},
    {0x40000000u, L"Text", ""},
    {0x40000010u, L"Arbitrary", ""},
    {0x40004000u, L"Text Comments", ""},
    {0x54000000u, L"Waveform data elements", "UL"},
    {0x54000100u, L"Waveform Sequence", "SQ"},
    {0x54000110u, L"Channel Minimum Value", "OW"},
    {0x54000112u, L"Channel Maximum Value", "OW"},
    {0x54001004u, L"Waveform Bits Allocated", "US"},
    {0x54001006u, L"Waveform Sample Interpretation", "CS"},
    {0x5400100Au, L"Waveform Padding Value", "OW"},
    {0x54001010u, L"Waveform Data", "OW"},
    {0x7FE00000u, L"Pixel data elements", "UL"},
    {0x7FE00010u, L"Pixel Data", "OB"},
    {0xFFFAFFFAu, L"Digital Signatures Sequence", "OB"},
    {0xFFFCFFFCu, L"Data Set Trailing Padding", "OB"},
    {0xFFFEE000u, L"Item", "OB"},
    {0xFFFEE00Du, L"Item Delimitation Item", "OB"},
    {0xFFFEE0DDu, L"Sequence Delimitation Item", "OB"},
};
} // namespace

dicomDictionary* dicomDictionary::instance()
{
    static dicomDictionary dictionary;
    return &dictionary;
}

dicomDictionary::dicomDictionary()
{
    HALVORAN_FUNCTION_START(L"dicomDictionary::dicomDictionary")

    registerVR("AE", false, 0, 16);
    registerVR("AS", false, 0, 0);
    registerVR("AT", false, 2, 0);
    registerVR("CS", false, 0, 16);
    registerVR("DA", false, 0, 0);
    registerVR("DS", false, 0, 16);
    registerVR("DT", false, 0, 26);
    // Floating-point values are reordered by their own size in streams of
    // the other byte order.
    registerVR("FL", false, 4, 0);
    registerVR("FD", false, 8, 0);
    registerVR("IS", false, 0, 12);
    registerVR("LO", false, 0, 64);
    registerVR("LT", false, 0, 10240);
    registerVR("OB", true, 0, 0);
    registerVR("OF", true, 4, 0);
    registerVR("OW", true, 2, 0);
    registerVR("PN", false, 0, 64);
    registerVR("SH", false, 0, 16);
    registerVR("SL", false, 4, 0);
    registerVR("SQ", true, 0, 0);
    registerVR("SS", false, 2, 0);
    registerVR("ST", false, 0, 1024);
    registerVR("TM", false, 0, 16);
    registerVR("UI", false, 0, 64);
    registerVR("UL", false, 4, 0);
    registerVR("UN", true, 0, 0);
    registerVR("US", false, 2, 0);
    registerVR("UT", true, 0, 0);
    registerVR("IS", false, 0, 0);

    for (const tagRow& row : standardTags)
        registerTag(row.id, row.name, row.vr);

    HALVORAN_FUNCTION_END()
}

void dicomDictionary::registerVR(std::string dataType, bool bLongLength, std::uint32_t wordSize,
                                 std::uint32_t maxLength)
{
    HALVORAN_FUNCTION_START(L"dicomDictionary::registerVR")

    m_vrDict.emplace(dataType, validDataTypesStruct{bLongLength, wordSize, maxLength});

    HALVORAN_FUNCTION_END()
}

void dicomDictionary::registerTag(std::uint32_t tagId, const wchar_t* tagName, const char* tagType)
{
    HALVORAN_FUNCTION_START(L"dicomDictionary::registerTag")

    m_dicomDict.emplace(tagId, imageDataDictionaryElement{tagName, tagType});

    HALVORAN_FUNCTION_END()
}

std::string dicomDictionary::getTagType(std::uint16_t groupId, std::uint16_t tagId) const
{
    HALVORAN_FUNCTION_START(L"dicomDictionary::getTagType")

    const auto found = m_dicomDict.find((static_cast<std::uint32_t>(groupId) << 16) | tagId);
    return found == m_dicomDict.end() ? std::string() : found->second.m_tagType;

    HALVORAN_FUNCTION_END()
}

std::wstring dicomDictionary::getTagName(std::uint16_t groupId, std::uint16_t tagId) const
{
    const auto found = m_dicomDict.find((static_cast<std::uint32_t>(groupId) << 16) | tagId);
    return found == m_dicomDict.end() ? std::wstring() : found->second.m_tagName;
}

bool dicomDictionary::isDataTypeValid(std::string dataType) const
{
    HALVORAN_FUNCTION_START(L"dicomDictionary::isDataTypeValid")

    return m_vrDict.find(dataType) != m_vrDict.end();

    HALVORAN_FUNCTION_END()
}

bool dicomDictionary::getLongLength(std::string dataType) const
{
    HALVORAN_FUNCTION_START(L"dicomDictionary::getLongLength")

    const auto found = m_vrDict.find(dataType);
    return found != m_vrDict.end() && found->second.m_longLength;

    HALVORAN_FUNCTION_END()
}

std::uint32_t dicomDictionary::getWordSize(std::string dataType) const
{
    HALVORAN_FUNCTION_START(L"dicomDictionary::getWordSize")

    const auto found = m_vrDict.find(dataType);
    return found == m_vrDict.end() ? 0 : found->second.m_wordLength;

    HALVORAN_FUNCTION_END()
}

std::uint32_t dicomDictionary::getMaxSize(std::string dataType) const
{
    const auto found = m_vrDict.find(dataType);
    return found == m_vrDict.end() ? 0 : found->second.m_maxLength;
}

} // namespace Halvoran::Varnix
