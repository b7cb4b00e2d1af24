//%/////////////////////////////////////////////////////////////////////////////
// OperationContext.h: per-request data handed to providers, as a set of
// containers keyed by name. IdentityContainer carries the requesting user.
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_OperationContext_h
#define Pegasus_OperationContext_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/String.h>

#include <memory>
#include <vector>

namespace Pegasus {

class OperationContext
{
public:
    /// One piece of request data. Subclasses name themselves and clone.
    class Container
    {
    public:
        virtual ~Container();
        virtual String getName() const = 0;
        /// A heap copy owned by the caller (released with destroy()).
        virtual Container* clone() const = 0;
        virtual void destroy() = 0;
    };

    OperationContext();
    /// Clones every container.
    OperationContext(const OperationContext& context);
    virtual ~OperationContext();
    OperationContext& operator=(const OperationContext& context);

    void clear();
    /// Throws Exception("object not found") when absent.
    const Container& get(const String& containerName) const;
    Boolean contains(const String& containerName) const;
    /// Replaces the container of the same name; throws Exception when there is none.
    void set(const Container& container);
    /// Throws Exception when a container of the same name exists.
    void insert(const Container& container);
    /// Throws Exception when absent.
    void remove(const String& containerName);

private:
    struct Destroy
    {
        void operator()(Container* c) const { c->destroy(); }
    };
    using Held = std::unique_ptr<Container, Destroy>;
    std::vector<Held> _containers;
};

/// The user on whose behalf the operation runs.
class IdentityContainer : public virtual OperationContext::Container
{
public:
    static const String NAME;

    /// Throws DynamicCastFailedException when container is another kind.
    IdentityContainer(const OperationContext::Container& container);
    IdentityContainer(const String& userName);
    IdentityContainer(const IdentityContainer& container);
    virtual ~IdentityContainer();
    IdentityContainer& operator=(const IdentityContainer& container);

    virtual String getName() const;
    virtual OperationContext::Container* clone() const;
    virtual void destroy();
    String getUserName() const;

private:
    String _userName;
};

} // namespace Pegasus

#endif
