#include "displayprofile.h"

namespace {

DisplayProfile currentProfile = ProfileNotChosen;

} // namespace

DisplayProfile displayProfile()
{
    return currentProfile;
}

void setDisplayProfile(DisplayProfile profile)
{
    currentProfile = profile;
}
