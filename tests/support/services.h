// A service of the product's service program (divaruzov.exe), installed in
// the test prefix for one test and removed (ended if need be) afterwards.
#pragma once

#include <windows.h>

#include <string>

namespace vektest {

class TestService {
public:
    // `flags`: the service program's own (--slow-start <ms>, --hang-on-stop).
    explicit TestService(const std::wstring& flags);
    ~TestService();
    TestService(const TestService&) = delete;
    TestService& operator=(const TestService&) = delete;

    bool installed() const { return installed_; }
    const std::wstring& name() const { return name_; }
    std::string lua() const;  // the name as a Lua string literal
    DWORD State() const;      // 0 when it cannot be read

private:
    std::wstring name_;
    bool installed_ = false;
};

}  // namespace vektest
