// A drop-down list given a name of its own (the adapter window's list of
// adapters) is read by that name, with the picked entry as its value. Qt
// would read such a list on Linux by its picked entry alone, so a screen
// reader could not tell what the list is for.
#pragma once

// Makes every drop-down list with a name of its own read so. The name must
// be set before a screen reader first asks for the list. Once per program;
// later calls do nothing.
void InstallNamedListAccessibility();
