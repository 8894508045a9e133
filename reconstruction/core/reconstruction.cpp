#include "reconstruction/core/reconstruction.h"

namespace kestrova::reconstruction {

Reconstruction ReconstructVessel(const ReconstructionInput& input, const ReconstructionHooks& hooks)
{
    throw ReconstructionRefused("The reconstruction is not available yet");
}

} // namespace kestrova::reconstruction
