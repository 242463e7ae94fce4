// A named exhibit's settings file: every QSettings Quado makes reads and
// writes $XDG_CONFIG_HOME/quado/NAME/ instead of the place all unnamed
// Quados share, so exhibits on one computer never see each other's choices.
#pragma once

#include <QString>

// The folder the user's settings of the named exhibit live below.
QString InstanceSettingsFolder(const QString& strInstance);

// From now on in this process (before the first QSettings is made). An
// empty name changes nothing.
void UseInstanceSettings(const QString& strInstance);
