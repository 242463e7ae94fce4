// The three ways anything in Quado plays sound: once, looping, stop.
// One sound at a time; starting one ends the one before. Ids are the WAVE ids
// of assets/SoundTable.h. The SDL player implements it; tests pass recorders.
#pragma once

class ISoundPlayer {
public:
    virtual ~ISoundPlayer() = default;
    virtual void PlayOnce(int nSoundId) = 0;
    virtual void PlayLooping(int nSoundId) = 0;
    virtual void Stop() = 0;
    // A sound may be asked for soon (an adapter has connected, the manual
    // driver is up): a player that opens its device only when wanted starts
    // opening it now, so that the first tone is on time.
    virtual void Prepare() {}
};
