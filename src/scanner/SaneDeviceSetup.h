#pragma once

#include "scanner/SaneWorkerTypes.h"

// Learning what a SANE device offers and setting it up for a scan; called on the
// worker thread with an open handle.
namespace SaneDeviceSetup {

// Sources, the mode for each pixel type (asked of the device by its frame format,
// names only where it cannot tell), a paper sensor if there is one, and the
// resolution and area constraints.
DeviceCaps probe(void *handle);

// Source, mode, depth, resolution and scan area, in that order; the resolution in
// the result is what the device will really use.
ApplyResult apply(void *handle, const DeviceCaps &caps, const ScanSettings &settings);

// What apply() is expected to answer, from the capabilities alone (no device
// call): the resolution the constraint allows, 39 for duplex on a one-sided
// feeder, 45 for an area cut to the bed. The device may still round or refuse
// differently; that shows at the scan.
ApplyResult predict(const DeviceCaps &caps, const ScanSettings &settings);

} // namespace SaneDeviceSetup
