#pragma once

// Serves the media layer's main-thread queue from the Qt event loop: every queued call posts a
// CheckSynchronize to the application object, so it runs wherever the loop runs (modal dialogs
// included). Create it on the GUI thread after the application object.
class TQtMainThreadWaker {
public:
    TQtMainThreadWaker();
    ~TQtMainThreadWaker();
    TQtMainThreadWaker(const TQtMainThreadWaker&) = delete;
    TQtMainThreadWaker& operator=(const TQtMainThreadWaker&) = delete;
};
