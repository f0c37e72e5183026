#include "serial/device_opener.h"

#include "serial/post_call.h"

CDeviceOpener::CDeviceOpener(const LineOpening& opening, Done done)
    : m_opened(std::make_shared<OpenedDevice>()), m_done(std::move(done))
{
    m_opened->strDevice = opening.strDevice;
    m_opened->device = MakeLineDevice(opening.strDevice);
    m_pDevice = m_opened->device.get();
    QThread* owner = QThread::currentThread();
    m_thread.reset(QThread::create([this, opening, owner] {
        OpenedDevice& opened = *m_opened;
        opened.bOpened = opened.device->Open(opening, opening.strDevice, &opened.outcome);
        opened.device->moveToThread(owner); // pushed home: the line's Open takes it there
        m_bEnded.store(true, std::memory_order_release);
        // Posted as every hand-over between threads is: an opener gone by then takes the call with it.
        PostCall(this, [this] { OnFinished(); });
    }));
    m_pDevice->moveToThread(m_thread.get());
    m_thread->start();
}

CDeviceOpener::~CDeviceOpener()
{
    if (!m_bHandedOver)
        m_pDevice->Cancel();
    m_thread->wait();
    m_bEnded.load(std::memory_order_acquire); // what the thread did is done before the device goes
}

void CDeviceOpener::OnFinished()
{
    m_thread->wait(); // its last step was this call: it ends at once
    if (!m_bEnded.load(std::memory_order_acquire) || !m_done)
        return;
    // `done` may end this opener: nothing of it is used after.
    Done done = std::exchange(m_done, {});
    m_bHandedOver = true;
    done(m_opened);
}
