// Root of the framework's object classes (portable).
#pragma once

class CObject {
public:
    CObject() = default;
    virtual ~CObject() = default;
};
