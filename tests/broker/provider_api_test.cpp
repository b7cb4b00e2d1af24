// The provider-facing API: a provider written the usual way (instance and
// method interfaces on one class) driven through the collecting handlers;
// exceptions and their codes; operation context; CIMOMHandle without an
// object manager; Mutex; Array bounds.
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/Mutex.h>
#include <Pegasus/Common/OperationContext.h>
#include <Pegasus/Common/SimpleResponseHandler.h>
#include <Pegasus/Provider/CIMInstanceProvider.h>
#include <Pegasus/Provider/CIMMethodProvider.h>

#include <gtest/gtest.h>

#include <exception>
#include <thread>
#include <type_traits>

PEGASUS_USING_PEGASUS;
PEGASUS_USING_STD;

static_assert(!std::is_base_of_v<std::exception, Exception>);
static_assert(std::is_base_of_v<CIMException, CIMNotSupportedException>);
static_assert(std::is_base_of_v<CIMOperationFailedException, CIMObjectNotFoundException>);

namespace {

// Written as a module for the original API would be.
class SampleProvider : public CIMInstanceProvider, public CIMMethodProvider {
 public:
  SampleProvider() {}
  virtual ~SampleProvider() {}
  virtual void initialize(CIMOMHandle& cimom) { _cimom = cimom; }
  virtual void terminate() {}

  virtual void getInstance(const OperationContext&, const CIMObjectPath& ref, const Boolean,
                           const Boolean, const CIMPropertyList&,
                           InstanceResponseHandler& handler) {
    handler.processing();
    CIMKeyBinding wanted("Id", CIMValue(Uint32(2)));
    Array<CIMKeyBinding> keys = ref.getKeyBindings();
    if (keys.size() == 1 && keys[0] == wanted) handler.deliver(make(2));
    handler.complete();
  }
  virtual void enumerateInstances(const OperationContext&, const CIMObjectPath&, const Boolean,
                                  const Boolean, const CIMPropertyList&,
                                  InstanceResponseHandler& handler) {
    handler.processing();
    Array<CIMInstance> all;
    for (Uint32 i = 1; i <= 3; i++) all.append(make(i));
    handler.deliver(all);
    handler.complete();
  }
  virtual void enumerateInstanceNames(const OperationContext&, const CIMObjectPath&,
                                      ObjectPathResponseHandler& handler) {
    handler.processing();
    for (Uint32 i = 1; i <= 3; i++) handler.deliver(make(i).getPath());
    handler.complete();
  }
  virtual void modifyInstance(const OperationContext&, const CIMObjectPath&, const CIMInstance&,
                              const Boolean, const CIMPropertyList&, ResponseHandler&) {
    throw CIMNotSupportedException("SampleProvider does not support modifyInstance");
  }
  virtual void createInstance(const OperationContext&, const CIMObjectPath&, const CIMInstance&,
                              ObjectPathResponseHandler&) {
    throw CIMNotSupportedException(String::EMPTY);
  }
  virtual void deleteInstance(const OperationContext& context, const CIMObjectPath&,
                              ResponseHandler&) {
    IdentityContainer id(context.get(IdentityContainer::NAME));
    throw CIMAccessDeniedException(id.getUserName());
  }
  virtual void invokeMethod(const OperationContext&, const CIMObjectPath&,
                            const CIMName& methodName, const Array<CIMParamValue>& in,
                            MethodResultResponseHandler& handler) {
    if (!methodName.equal("Double")) throw CIMMethodNotFoundException(methodName.getString());
    handler.processing();
    Uint32 x = 0;
    for (Uint32 i = 0; i < in.size(); i++)
      if (String::equalNoCase(in[i].getParameterName(), "x")) in[i].getValue().get(x);
    handler.deliverParamValue(CIMParamValue("Half", CIMValue(Uint32(x / 2))));
    handler.deliver(CIMValue(Uint32(x * 2)));
    handler.complete();
  }

 private:
  static CIMInstance make(Uint32 id) {
    CIMInstance inst("SM_Sample");
    inst.addProperty(CIMProperty("Id", id));
    Array<CIMKeyBinding> keys;
    keys.append(CIMKeyBinding("Id", CIMValue(id)));
    inst.setPath(CIMObjectPath(String(), CIMNamespaceName(), "SM_Sample", keys));
    return inst;
  }
  CIMOMHandle _cimom;
};

TEST(ProviderApi, OperationsThroughCollectingHandlers) {
  SampleProvider impl;
  CIMProvider& base = static_cast<CIMInstanceProvider&>(impl);
  CIMOMHandle handle;
  base.initialize(handle);
  CIMInstanceProvider& prov = impl;
  OperationContext ctx;

  SimpleInstanceResponseHandler all;
  prov.enumerateInstances(ctx, CIMObjectPath("root/cimv2:SM_Sample"), false, false,
                          CIMPropertyList(), all);
  EXPECT_TRUE(all.isProcessing());
  EXPECT_TRUE(all.isComplete());
  ASSERT_EQ(all.getObjects().size(), 3u);
  EXPECT_EQ(all.getObjects()[2].getPath().toString(), "SM_Sample.Id=3");

  SimpleObjectPathResponseHandler names;
  prov.enumerateInstanceNames(ctx, CIMObjectPath("SM_Sample"), names);
  EXPECT_EQ(names.getObjects().size(), 3u);

  // The incoming path carries host and namespace, keys compare by value.
  SimpleInstanceResponseHandler one;
  prov.getInstance(ctx, CIMObjectPath("//h/root/cimv2:SM_Sample.Id=0x2"), false, false,
                   CIMPropertyList(), one);
  EXPECT_EQ(one.getObjects().size(), 1u);
  SimpleInstanceResponseHandler none;
  prov.getInstance(ctx, CIMObjectPath("SM_Sample.Id=9"), false, false, CIMPropertyList(), none);
  EXPECT_EQ(none.deliveredCount(), 0u);
  EXPECT_TRUE(none.isComplete());

  SimpleMethodResultResponseHandler result;
  Array<CIMParamValue> in;
  in.append(CIMParamValue("X", CIMValue(Uint32(10))));
  CIMMethodProvider& methods = impl;
  methods.invokeMethod(ctx, CIMObjectPath("SM_Sample.Id=1"), "double", in, result);
  Uint32 ret = 0;
  result.getReturnValue().get(ret);
  EXPECT_EQ(ret, 20u);
  EXPECT_EQ(result.returnValueCount(), 1u);
  ASSERT_EQ(result.getParamValues().size(), 1u);
  EXPECT_EQ(result.getParamValues()[0].getParameterName(), "Half");
}

TEST(ProviderApi, ExceptionsCarryCodesAndMessages) {
  SampleProvider prov;
  OperationContext ctx;
  ctx.insert(IdentityContainer("alice"));
  SimpleResponseHandlerImpl h;
  struct Row {
    std::function<void()> call;
    CIMStatusCode code;
    const char* message;
  };
  SimpleObjectPathResponseHandler ph;
  SimpleMethodResultResponseHandler mh;
  const Row rows[] = {
      {[&] {
         prov.modifyInstance(ctx, CIMObjectPath("X"), CIMInstance("X"), false, CIMPropertyList(),
                             h);
       },
       CIM_ERR_NOT_SUPPORTED, "SampleProvider does not support modifyInstance"},
      {[&] { prov.createInstance(ctx, CIMObjectPath("X"), CIMInstance("X"), ph); },
       CIM_ERR_NOT_SUPPORTED, ""},
      {[&] { prov.deleteInstance(ctx, CIMObjectPath("X"), h); }, CIM_ERR_ACCESS_DENIED, "alice"},
      {[&] { prov.invokeMethod(ctx, CIMObjectPath("X"), "Other", Array<CIMParamValue>(), mh); },
       CIM_ERR_METHOD_NOT_FOUND, "Other"},
  };
  for (const Row& r : rows) {
    try {
      r.call();
      ADD_FAILURE() << "no exception for " << r.message;
    } catch (const CIMException& e) {
      EXPECT_EQ(e.getCode(), r.code);
      EXPECT_EQ(e.getMessage(), r.message);
    }
  }
  EXPECT_STREQ(cimStatusCodeToString(CIM_ERR_NOT_FOUND), "CIM_ERR_NOT_FOUND");
  EXPECT_STREQ(cimStatusCodeToString(CIMStatusCode(99)), "Unrecognized CIM status code");
  EXPECT_EQ(CIMInvalidParameterException("p").getCode(), CIM_ERR_INVALID_PARAMETER);
  EXPECT_EQ(CIMObjectNotFoundException("o").getCode(), CIM_ERR_NOT_FOUND);
  EXPECT_EQ(CIMOperationFailedException("f").getCode(), CIM_ERR_FAILED);
}

TEST(OperationContextTest, ContainersAreClonedAndChecked) {
  OperationContext ctx;
  EXPECT_THROW(ctx.get(IdentityContainer::NAME), Exception);
  ctx.insert(IdentityContainer("root"));
  EXPECT_THROW(ctx.insert(IdentityContainer("other")), Exception);
  OperationContext copy = ctx;
  ctx.set(IdentityContainer("bob"));
  EXPECT_EQ(IdentityContainer(ctx.get(IdentityContainer::NAME)).getUserName(), "bob");
  EXPECT_EQ(IdentityContainer(copy.get(IdentityContainer::NAME)).getUserName(), "root");
  ctx.remove(IdentityContainer::NAME);
  EXPECT_FALSE(ctx.contains(IdentityContainer::NAME));
  EXPECT_THROW(ctx.remove(IdentityContainer::NAME), Exception);
  EXPECT_THROW(ctx.set(IdentityContainer("x")), Exception);
}

TEST(CIMOMHandleTest, WithoutObjectManagerUpCallsAreNotSupported) {
  CIMOMHandle handle;
  OperationContext ctx;
  try {
    handle.enumerateInstanceNames(ctx, "root/cimv2", "CIM_NetworkAdapter");
    FAIL() << "up-call succeeded without an object manager";
  } catch (const CIMException& e) {
    EXPECT_EQ(e.getCode(), CIM_ERR_NOT_SUPPORTED);
  }
}

TEST(CIMOMHandleTest, ForwardsToTheInstalledBackend) {
  struct Backend : CIMOMHandleBackend {
    Array<CIMObjectPath> enumerateInstanceNames(const OperationContext&, const CIMNamespaceName& ns,
                                                const CIMName& cls) override {
      Array<CIMObjectPath> out;
      out.append(CIMObjectPath(String(), ns, cls));
      return out;
    }
  };
  CIMOMHandle handle(std::make_shared<Backend>());
  CIMOMHandle copy = handle;
  OperationContext ctx;
  Array<CIMObjectPath> r = copy.enumerateInstanceNames(ctx, "root/cimv2", "X");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].toString(), "root/cimv2:X");
  EXPECT_THROW(
      copy.getInstance(ctx, "root", CIMObjectPath("X"), false, false, false, CIMPropertyList()),
      CIMException);
}

TEST(MutexTest, DefaultIsRecursiveAndExcludesOtherThreads) {
  Mutex m;
  m.lock();
  EXPECT_TRUE(m.try_lock());  // recursive: the owner may lock again
  bool otherGot = true;
  std::thread t([&] { otherGot = m.timed_lock(20); });
  t.join();
  EXPECT_FALSE(otherGot);
  m.unlock();
  m.unlock();
  std::thread t2([&] {
    AutoMutex hold(m);
    otherGot = true;
  });
  t2.join();
  EXPECT_TRUE(otherGot);

  Mutex plain(Mutex::NON_RECURSIVE);
  plain.lock();
  EXPECT_FALSE(plain.try_lock());
  plain.unlock();
}

TEST(ArrayTest, BoundsInsertRemove) {
  Array<Uint32> a;
  for (Uint32 i = 0; i < 5; i++) a.append(i);
  a.insert(2, 100u);
  a.prepend(200u);
  Uint32 two[] = {7, 8};
  a.insert(7, two, 2);  // at the end
  const Uint32 want[] = {200, 0, 1, 100, 2, 3, 4, 7, 8};
  ASSERT_EQ(a.size(), 9u);
  for (Uint32 i = 0; i < a.size(); i++) EXPECT_EQ(a[i], want[i]) << i;
  EXPECT_THROW(a[9], IndexOutOfBoundsException);
  EXPECT_THROW(a.insert(10, 1u), IndexOutOfBoundsException);
  EXPECT_THROW(a.remove(8, 2), IndexOutOfBoundsException);
  a.remove(1, 3);
  EXPECT_EQ(a.size(), 6u);
  EXPECT_EQ(a[1], 2u);

  // Inserting an element of the array into itself survives reallocation.
  Array<String> s;
  s.append("x");
  for (int i = 0; i < 20; i++) s.insert(0, s[s.size() - 1]);
  EXPECT_EQ(s.size(), 21u);
  EXPECT_EQ(s[0], "x");

  Array<Boolean> b(3, true);
  b[1] = false;
  EXPECT_FALSE(b.getData()[1]);
}

}  // namespace
