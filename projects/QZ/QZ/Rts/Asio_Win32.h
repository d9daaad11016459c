#pragma once
#include "Rts.h"
#include "iasiothiscallresolver/QZ_AsioDriver.h"

#include <mutex>

// The device on an ASIO driver: one device per installed driver, the driver
// loaded by init, its double buffers made and started by mode. The driver's
// buffer switch points the channels at the half that is due and calls the
// block callback.
class QZ_Rts_Asio : public QZ_Rts {
public:
    static constexpr int32_t most = 16; // channels used each way

    int32_t inputCount, outputCount;
    int32_t minSize, maxSize, preferredSize, granularity;
    qz::asio::BufferInfo table[2 * most];
    qz::asio::Callbacks callbacks;
    QZ_Chain_Item backEndItem;
    QZ_Chain_Item instanceItem;

    explicit QZ_Rts_Asio(const char* name);
    ~QZ_Rts_Asio() override;

    // Sets the block callback, lists the installed drivers and makes one
    // device for each, named as the driver is shown.
    QZ_EXPORT static QZ_error classInit(Callback cb);
    // Deletes the devices classInit made and forgets the driver list.
    static void classExit();
    static QZ_Chain devices;

    QZ_error init() override;
    QZ_error release() override;
    QZ_error mode(Mode* m) override;
    QZ_error free() override;

    // The format word of a driver sample type; 0 for a type we do not use.
    static uint32_t formatOf(int32_t type);
    // The host's answer to the driver's message.
    static int32_t message(int32_t selector, int32_t value, void* data, double* opt);

private:
    std::mutex switching; // held by a buffer switch, and by free while outputs go
    bool buffersMade;
    int32_t driverOutputs; // as the driver reported them, up to 16

    static void bufferSwitch(int32_t half, qz::asio::Bool direct);
    static void sampleRateChanged(double rate);
    static void* bufferSwitchTimeInfo(void* time, int32_t half, qz::asio::Bool direct);
    void closeBuffers();
};
