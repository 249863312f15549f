#pragma once
// The shared helpers the audio file tests use: files as bytes, test material, and writing and
// reading whole files through our own classes.
#include "support/AudioFiles.h"
#include "support/Files.h"
#include "support/Signals.h"
