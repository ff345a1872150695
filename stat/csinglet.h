// Process-wide single objects with shared ownership: the first GetInstance
// creates the object (once, also when several threads ask at the same time),
// one reference is kept for the life of the process.
#pragma once

#include <memory>
#include <mutex>

template <typename T>
class CSingleT : public std::enable_shared_from_this<T> {
public:
    static std::shared_ptr<T> GetInstance() {
        std::call_once(OnceFlag(), [] { Instance().reset(new T()); });
        return Instance();
    }

protected:
    CSingleT() = default;
    ~CSingleT() = default;

private:
    static std::once_flag& OnceFlag() {
        static std::once_flag flag;
        return flag;
    }
    static std::shared_ptr<T>& Instance() {
        static std::shared_ptr<T> instance;
        return instance;
    }
};
