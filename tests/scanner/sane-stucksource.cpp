// A SANE backend for the tests, loaded by SANE's dll backend from LD_LIBRARY_PATH:
// a scanner with a flatbed and a document feeder whose source option answers every
// set but keeps the flatbed, as a device whose feeder is missing or not answering
// may. Every start gives a small page, so a control that scans on regardless never
// runs out of sheets. SANE's test backend always takes the source it is given.
#include <algorithm>
#include <cstring>
#include <sane/sane.h>
#include <sane/saneopts.h>

namespace {

enum Option
{
    Count,
    Mode,
    Resolution,
    Source,
    NumOptions
};

const SANE_String_Const kModes[] = {SANE_VALUE_SCAN_MODE_COLOR, nullptr};
const SANE_String_Const kSources[] = {"Flatbed", "Automatic Document Feeder", nullptr};
const SANE_Range kResolutions = {50, 600, 1};
constexpr SANE_Int kStringSize = 32;
constexpr int kWidth = 16;
constexpr int kHeight = 16;

SANE_Option_Descriptor g_options[NumOptions];
const SANE_Device g_device = {"stuck", "Pagora", "feeder that keeps the flatbed",
                              "flatbed scanner"};
const SANE_Device *g_devices[] = {&g_device, nullptr};
SANE_Int g_resolution = 100;
int g_handle;
int g_bytesLeft = 0;

void describeOptions()
{
    g_options[Count] = {SANE_NAME_NUM_OPTIONS, SANE_TITLE_NUM_OPTIONS, SANE_DESC_NUM_OPTIONS,
                        SANE_TYPE_INT,         SANE_UNIT_NONE,         sizeof(SANE_Word),
                        SANE_CAP_SOFT_DETECT,  SANE_CONSTRAINT_NONE,   {nullptr}};
    g_options[Mode] = {SANE_NAME_SCAN_MODE,
                       SANE_TITLE_SCAN_MODE,
                       SANE_DESC_SCAN_MODE,
                       SANE_TYPE_STRING,
                       SANE_UNIT_NONE,
                       kStringSize,
                       SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT,
                       SANE_CONSTRAINT_STRING_LIST,
                       {nullptr}};
    g_options[Mode].constraint.string_list = kModes;
    g_options[Resolution] = {SANE_NAME_SCAN_RESOLUTION,
                             SANE_TITLE_SCAN_RESOLUTION,
                             SANE_DESC_SCAN_RESOLUTION,
                             SANE_TYPE_INT,
                             SANE_UNIT_DPI,
                             sizeof(SANE_Word),
                             SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT,
                             SANE_CONSTRAINT_RANGE,
                             {nullptr}};
    g_options[Resolution].constraint.range = &kResolutions;
    g_options[Source] = {SANE_NAME_SCAN_SOURCE,
                         SANE_TITLE_SCAN_SOURCE,
                         SANE_DESC_SCAN_SOURCE,
                         SANE_TYPE_STRING,
                         SANE_UNIT_NONE,
                         kStringSize,
                         SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT,
                         SANE_CONSTRAINT_STRING_LIST,
                         {nullptr}};
    g_options[Source].constraint.string_list = kSources;
}

SANE_Status getValue(SANE_Int option, void *value)
{
    switch (option) {
    case Count:
        *static_cast<SANE_Int *>(value) = NumOptions;
        break;
    case Mode:
        std::strcpy(static_cast<char *>(value), kModes[0]);
        break;
    case Resolution:
        *static_cast<SANE_Int *>(value) = g_resolution;
        break;
    case Source:
        std::strcpy(static_cast<char *>(value), kSources[0]);
        break;
    default:
        return SANE_STATUS_INVAL;
    }
    return SANE_STATUS_GOOD;
}

SANE_Status setValue(SANE_Int option, void *value, SANE_Int *info)
{
    switch (option) {
    case Mode:
        return std::strcmp(static_cast<char *>(value), kModes[0]) == 0 ? SANE_STATUS_GOOD
                                                                       : SANE_STATUS_INVAL;
    case Resolution:
        g_resolution =
            std::clamp(*static_cast<SANE_Int *>(value), kResolutions.min, kResolutions.max);
        return SANE_STATUS_GOOD;
    case Source:
        // Accepted, and the flatbed kept.
        std::strcpy(static_cast<char *>(value), kSources[0]);
        if (info)
            *info |= SANE_INFO_INEXACT;
        return SANE_STATUS_GOOD;
    default:
        return SANE_STATUS_INVAL;
    }
}

} // namespace

// The dll backend looks up each entry point as sane_<backend>_<call>.
#define ENTRY(call) sane_stucksource_##call

extern "C" {

SANE_Status ENTRY(init)(SANE_Int *version, SANE_Auth_Callback)
{
    if (version)
        *version = SANE_VERSION_CODE(SANE_CURRENT_MAJOR, SANE_CURRENT_MINOR, 0);
    describeOptions();
    return SANE_STATUS_GOOD;
}

void ENTRY(exit)()
{
}

SANE_Status ENTRY(get_devices)(const SANE_Device ***list, SANE_Bool)
{
    *list = g_devices;
    return SANE_STATUS_GOOD;
}

SANE_Status ENTRY(open)(SANE_String_Const name, SANE_Handle *handle)
{
    if (name && name[0] && std::strcmp(name, g_device.name) != 0)
        return SANE_STATUS_INVAL;
    *handle = &g_handle;
    return SANE_STATUS_GOOD;
}

void ENTRY(close)(SANE_Handle)
{
}

const SANE_Option_Descriptor *ENTRY(get_option_descriptor)(SANE_Handle, SANE_Int option)
{
    return option >= 0 && option < NumOptions ? &g_options[option] : nullptr;
}

SANE_Status ENTRY(control_option)(SANE_Handle, SANE_Int option, SANE_Action action, void *value,
                                  SANE_Int *info)
{
    if (info)
        *info = 0;
    if (action == SANE_ACTION_GET_VALUE)
        return getValue(option, value);
    if (action == SANE_ACTION_SET_VALUE)
        return setValue(option, value, info);
    return SANE_STATUS_UNSUPPORTED;
}

SANE_Status ENTRY(get_parameters)(SANE_Handle, SANE_Parameters *p)
{
    p->format = SANE_FRAME_RGB;
    p->last_frame = SANE_TRUE;
    p->bytes_per_line = kWidth * 3;
    p->pixels_per_line = kWidth;
    p->lines = kHeight;
    p->depth = 8;
    return SANE_STATUS_GOOD;
}

SANE_Status ENTRY(start)(SANE_Handle)
{
    g_bytesLeft = kWidth * 3 * kHeight;
    return SANE_STATUS_GOOD;
}

SANE_Status ENTRY(read)(SANE_Handle, SANE_Byte *data, SANE_Int maxLength, SANE_Int *length)
{
    *length = 0;
    if (g_bytesLeft == 0)
        return SANE_STATUS_EOF;
    *length = std::min(maxLength, g_bytesLeft);
    std::memset(data, 0x80, size_t(*length));
    g_bytesLeft -= *length;
    return SANE_STATUS_GOOD;
}

void ENTRY(cancel)(SANE_Handle)
{
    g_bytesLeft = 0;
}

SANE_Status ENTRY(set_io_mode)(SANE_Handle, SANE_Bool nonBlocking)
{
    return nonBlocking ? SANE_STATUS_UNSUPPORTED : SANE_STATUS_GOOD;
}

SANE_Status ENTRY(get_select_fd)(SANE_Handle, SANE_Int *)
{
    return SANE_STATUS_UNSUPPORTED;
}

} // extern "C"
