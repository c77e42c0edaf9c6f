// Linked against the engine alone: if any engine object needs QtWidgets, this program does not link.
#include "engine/FCT_AudioInf.h"
#include "engine/graph/PluginRegistry.h"
#include "support/ComponentRegistry.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Graph::InstallComponentRegistry();
    const int registered = Support::IsComponentRegistered(Support::kWavDestFile);
    const AudioInfo info = FCT_AudioInf::GetAudioInfo("/nonexistent.wav", 0, 1, 0);
    return (registered == 0 || registered == 1) && info.Ok == 0 ? 0 : 1;
}
