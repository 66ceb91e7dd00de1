#include "audio/audio_back_ends.h"

#include "audio/asio_backend.h"
#include "audio/test_signal.h"
#include "audio/wasapi_streams.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"

TAudioBackEnds::TAudioBackEnds() { RegisterAudioPeers(this); }

TAudioBackEnds::~TAudioBackEnds() {
    // An ASIO output ends with its driver, which the input's stop closes.
    MainWindowServices* services = mainWindowServices();
    if (services != nullptr && services->Fields().IOMode.load() != 1) ::StopAudioOut();
    if (audioPeers() == this) RegisterAudioPeers(nullptr);
}

void TAudioBackEnds::StartAsioIn(bool withOutput) { ::StartAsioIn(withOutput); }
bool TAudioBackEnds::AsioDriverOpen() { return ::AsioDriverOpen(); }
void TAudioBackEnds::CloseAsio() { ::CloseAsio(); }
std::optional<double> TAudioBackEnds::AsioSampleRate() { return ::AsioSampleRate(); }

void TAudioBackEnds::OpenWasapiIn() { ::OpenWasapiIn(); }
void TAudioBackEnds::CloseWasapiIn() { ::CloseWasapiIn(); }
bool TAudioBackEnds::CheckInputVolume() { return ::CheckInputVolume(); }
void TAudioBackEnds::StopAudioOut() { ::StopAudioOut(); }
