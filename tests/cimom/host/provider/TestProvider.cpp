//%/////////////////////////////////////////////////////////////////////////////
// A provider module for the provider-host tests, written against the provider
// API only (as a module for the original object manager would be), so that it
// would build there unchanged. It serves:
//   Test_Widget  (TestWidgetProvider)  instance + method provider, a writable store
//   Test_Gadget  (TestGadgetProvider)  a subclass of Test_Widget, fixed instances
//   Test_Bulk    (TestBulkProvider)    N prepared instances, N set by SetCount
//   TestInitFailsProvider              initialize() throws
// Any other provider name gets null from PegasusCreateProvider.
// TestProviderLifecycle() reports how often providers were created, initialised,
// terminated and deleted.
//%/////////////////////////////////////////////////////////////////////////////

#include <Pegasus/Common/CIMDateTime.h>
#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Mutex.h>
#include <Pegasus/Provider/CIMInstanceProvider.h>
#include <Pegasus/Provider/CIMMethodProvider.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <stdexcept>
#include <vector>

PEGASUS_USING_PEGASUS;
PEGASUS_USING_STD;

namespace {

std::atomic<int> g_created{0}, g_initialized{0}, g_terminated{0}, g_deleted{0};

String KeyOf(const CIMObjectPath& path) {
  Array<CIMKeyBinding> keys = path.getKeyBindings();
  for (Uint32 i = 0; i < keys.size(); i++) {
    if (keys[i].getName().equal(CIMName("Id"))) return keys[i].getValue();
  }
  return String();
}

CIMObjectPath LocalPath(const CIMName& className, const String& id) {
  Array<CIMKeyBinding> keys;
  keys.append(CIMKeyBinding(CIMName("Id"), id, CIMKeyBinding::STRING));
  return CIMObjectPath(String(), CIMNamespaceName(), className, keys);
}

/// Throws the exception that the code names (used by Fail and by getInstance).
void ThrowFor(Uint32 code) {
  switch (code) {
    case 1:
      throw CIMOperationFailedException("operation failed on purpose");
    case 2:
      throw CIMAccessDeniedException("access denied on purpose");
    case 3:
      throw CIMException(CIM_ERR_INVALID_NAMESPACE, "plain CIMException");
    case 4:
      throw CIMInvalidParameterException("invalid parameter on purpose");
    case 5:
      throw CIMInvalidClassException("invalid class on purpose");
    case 6:
      throw CIMObjectNotFoundException("not found on purpose");
    case 7:
      throw CIMNotSupportedException("not supported on purpose");
    case 11:
      throw CIMObjectAlreadyExistsException("already exists on purpose");
    case 12:
      throw CIMPropertyNotFoundException("no such property on purpose");
    case 15:
      throw CIMInvalidQueryException("invalid query on purpose");
    case 17:
      throw CIMMethodNotFoundException("method not found on purpose");
    case 100:
      throw Exception("a plain broker exception");
    case 101:
      throw std::runtime_error("a standard exception");
    case 102:
      throw 42;
    default:
      break;
  }
}

class CountedProvider : public virtual CIMProvider {
 public:
  CountedProvider() { g_created++; }
  virtual ~CountedProvider() { g_deleted++; }
  virtual void initialize(CIMOMHandle&) { g_initialized++; }
  virtual void terminate() { g_terminated++; }
};

/// Refuses every write: the read-only providers of the module.
class ReadOnlyProvider : public CountedProvider, public CIMInstanceProvider {
 public:
  virtual void modifyInstance(const OperationContext&, const CIMObjectPath&, const CIMInstance&,
                              const Boolean, const CIMPropertyList&, ResponseHandler&) {
    throw CIMNotSupportedException("modifyInstance");
  }
  virtual void createInstance(const OperationContext&, const CIMObjectPath&, const CIMInstance&,
                              ObjectPathResponseHandler&) {
    throw CIMNotSupportedException("createInstance");
  }
  virtual void deleteInstance(const OperationContext&, const CIMObjectPath&, ResponseHandler&) {
    throw CIMNotSupportedException("deleteInstance");
  }
};

// --- Test_Widget ---------------------------------------------------------------

class TestWidgetProvider : public CountedProvider,
                           public CIMInstanceProvider,
                           public CIMMethodProvider {
 public:
  virtual void initialize(CIMOMHandle& cimom) {
    CountedProvider::initialize(cimom);
    cimom_ = cimom;
    AutoMutex lock(mutex_);
    widgets_.append(MakeWidget("w1", "first", 1));
    widgets_.append(MakeWidget("w2", "second", 2));
  }

  virtual void getInstance(const OperationContext&, const CIMObjectPath& ref, const Boolean,
                           const Boolean, const CIMPropertyList&,
                           InstanceResponseHandler& handler) {
    String id = KeyOf(ref);
    if (id == "twice" || id == "uninit") {
      handler.processing();
      if (id == "twice") {
        handler.deliver(MakeWidget("twice", "a", 0));
        handler.deliver(MakeWidget("twice", "b", 0));
      } else {
        handler.deliver(CIMInstance());
      }
      handler.complete();
      return;
    }
    if (id.size() > 6 && id.subString(0, 6) == "throw-") {
      CString digits = id.subString(6).getCString();
      unsigned code = 0;
      sscanf(digits, "%u", &code);
      ThrowFor(code);
    }

    handler.processing();
    AutoMutex lock(mutex_);
    for (Uint32 i = 0; i < widgets_.size(); i++) {
      if (String::equal(KeyOf(widgets_[i].getPath()), id)) {
        // Deliver the stored object itself: the object manager must copy.
        CIMInstance inst = widgets_[i];
        SetSeen(inst, ref);
        handler.deliver(inst);
        break;
      }
    }
    handler.complete();
  }

  virtual void enumerateInstances(const OperationContext&, const CIMObjectPath& ref, const Boolean,
                                  const Boolean, const CIMPropertyList&,
                                  InstanceResponseHandler& handler) {
    handler.processing();
    AutoMutex lock(mutex_);
    for (Uint32 i = 0; i < widgets_.size(); i++) {
      SetSeen(widgets_[i], ref);
      handler.deliver(widgets_[i]);
    }
    handler.complete();
  }

  virtual void enumerateInstanceNames(const OperationContext&, const CIMObjectPath&,
                                      ObjectPathResponseHandler& handler) {
    handler.processing();
    AutoMutex lock(mutex_);
    for (Uint32 i = 0; i < widgets_.size(); i++) handler.deliver(widgets_[i].getPath());
    handler.complete();
  }

  virtual void modifyInstance(const OperationContext&, const CIMObjectPath& ref,
                              const CIMInstance& obj, const Boolean,
                              const CIMPropertyList& propertyList, ResponseHandler& handler) {
    handler.processing();
    AutoMutex lock(mutex_);
    Uint32 at = Find(KeyOf(ref));
    if (at == PEG_NOT_FOUND) throw CIMObjectNotFoundException(ref.toString());
    CIMInstance& stored = widgets_[at];
    for (Uint32 i = 0; i < obj.getPropertyCount(); i++) {
      CIMConstProperty p = obj.getProperty(i);
      if (p.getName().equal(CIMName("Id")) || !propertyList.useThisProperty(p.getName())) continue;
      Uint32 pos = stored.findProperty(p.getName());
      if (pos == PEG_NOT_FOUND) throw CIMPropertyNotFoundException(p.getName().getString());
      stored.getProperty(pos).setValue(p.getValue());
    }
    handler.complete();
  }

  virtual void createInstance(const OperationContext&, const CIMObjectPath& ref,
                              const CIMInstance& obj, ObjectPathResponseHandler& handler) {
    handler.processing();
    String id = KeyOf(ref);
    Uint32 idAt = obj.findProperty(CIMName("Id"));
    if (id.size() == 0 && idAt != PEG_NOT_FOUND) obj.getProperty(idAt).getValue().get(id);
    if (id.size() == 0) throw CIMInvalidParameterException("Id missing");
    AutoMutex lock(mutex_);
    if (Find(id) != PEG_NOT_FOUND) throw CIMObjectAlreadyExistsException(id);
    CIMInstance stored = MakeWidget(id, "", 0);
    for (Uint32 i = 0; i < obj.getPropertyCount(); i++) {
      CIMConstProperty p = obj.getProperty(i);
      Uint32 pos = stored.findProperty(p.getName());
      if (pos != PEG_NOT_FOUND && !p.getName().equal(CIMName("Id")))
        stored.getProperty(pos).setValue(p.getValue());
    }
    widgets_.append(stored);
    handler.deliver(stored.getPath());
    handler.complete();
  }

  virtual void deleteInstance(const OperationContext&, const CIMObjectPath& ref,
                              ResponseHandler& handler) {
    handler.processing();
    AutoMutex lock(mutex_);
    Uint32 at = Find(KeyOf(ref));
    if (at == PEG_NOT_FOUND) throw CIMObjectNotFoundException(ref.toString());
    widgets_.remove(at);
    handler.complete();
  }

  virtual void invokeMethod(const OperationContext& context, const CIMObjectPath& ref,
                            const CIMName& methodName, const Array<CIMParamValue>& in,
                            MethodResultResponseHandler& handler) {
    handler.processing();
    if (methodName.equal(CIMName("Add"))) {
      Uint32 a = 0, b = 0;
      Param(in, "A").get(a);
      Param(in, "B").get(b);
      handler.deliver(CIMValue(Uint32(a + b)));
    } else if (methodName.equal(CIMName("Echo"))) {
      Echo(context, ref, in, handler);
    } else if (methodName.equal(CIMName("Fail"))) {
      Uint16 code = 0;
      Param(in, "Code").get(code);
      ThrowFor(code);
      handler.deliver(CIMValue(Uint32(0)));
    } else if (methodName.equal(CIMName("Rendezvous"))) {
      Uint32 parties = 0, timeoutMs = 10000;
      Param(in, "Parties").get(parties);
      for (Uint32 i = 0; i < in.size(); i++) {
        if (String::equalNoCase(in[i].getParameterName(), "TimeoutMs"))
          in[i].getValue().get(timeoutMs);
      }
      handler.deliver(CIMValue(Rendezvous(parties, timeoutMs)));
    } else if (methodName.equal(CIMName("CountGadgets"))) {
      // An up-call: the object manager routes it like a client request.
      Array<CIMObjectPath> gadgets = cimom_.enumerateInstanceNames(
          context, CIMNamespaceName("root/cimv2"), CIMName("Test_Gadget"));
      handler.deliver(CIMValue(gadgets.size()));
    } else if (methodName.equal(CIMName("Misdeliver"))) {
      Uint16 how = 0;
      Param(in, "How").get(how);
      if (how == 1) {
        handler.deliver(CIMValue(Uint32(1)));
        handler.deliver(CIMValue(Uint32(2)));
      } else if (how == 2) {
        handler.deliver(CIMValue(CIMTYPE_UINT32, false));
      } else {
        handler.deliverParamValue(CIMParamValue());
        handler.deliver(CIMValue(Uint32(0)));
      }
    } else {
      throw CIMMethodNotFoundException(methodName.getString());
    }
    handler.complete();
  }

 private:
  static CIMInstance MakeWidget(const String& id, const String& label, Uint32 count) {
    CIMInstance inst(CIMName("Test_Widget"));
    inst.addProperty(CIMProperty(CIMName("Id"), CIMValue(id)));
    inst.addProperty(CIMProperty(CIMName("Label"), CIMValue(label)));
    inst.addProperty(CIMProperty(CIMName("Count"), CIMValue(count)));
    Array<String> tags;
    tags.append("red");
    tags.append("blue");
    inst.addProperty(CIMProperty(CIMName("Tags"), CIMValue(tags)));
    inst.addProperty(CIMProperty(CIMName("Color"), CIMValue(String("green"))));
    inst.addProperty(CIMProperty(CIMName("SeenPath"), CIMValue(String())));
    inst.setPath(LocalPath(CIMName("Test_Widget"), id));
    return inst;
  }

  static void SetSeen(CIMInstance& inst, const CIMObjectPath& ref) {
    Uint32 at = inst.findProperty(CIMName("SeenPath"));
    if (at != PEG_NOT_FOUND) inst.getProperty(at).setValue(CIMValue(ref.toString()));
  }

  static CIMValue Param(const Array<CIMParamValue>& in, const char* name) {
    for (Uint32 i = 0; i < in.size(); i++) {
      if (String::equalNoCase(in[i].getParameterName(), name)) return in[i].getValue();
    }
    throw CIMInvalidParameterException(String("missing parameter ") + name);
  }

  void Echo(const OperationContext& context, const CIMObjectPath& ref,
            const Array<CIMParamValue>& in, MethodResultResponseHandler& handler) {
    // Reports what arrived: each parameter as "Name:type=value", the
    // caller's user name and the path received.
    String report;
    for (Uint32 i = 0; i < in.size(); i++) {
      CIMValue v = in[i].getValue();
      report.append(in[i].getParameterName());
      report.append(":");
      report.append(cimTypeToString(v.getType()));
      if (v.isArray()) report.append("[]");
      report.append("=");
      report.append(v.toString());
      report.append(";");
    }
    IdentityContainer identity(context.get(IdentityContainer::NAME));
    report.append("user=");
    report.append(identity.getUserName());
    report.append(";path=");
    report.append(ref.toString());
    handler.deliverParamValue(CIMParamValue("Copy", CIMValue(report)));
    handler.deliver(CIMValue(report));
  }

  Uint32 Rendezvous(Uint32 parties, Uint32 timeoutMs) {
    std::unique_lock<std::mutex> lock(meetLock_);
    Uint32 generation = meetGeneration_;
    if (++arrived_ >= parties) {
      arrived_ = 0;
      meetGeneration_++;
      meet_.notify_all();
      return parties;
    }
    if (!meet_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                        [&] { return meetGeneration_ != generation; })) {
      Uint32 seen = arrived_;
      arrived_ = 0;
      meetGeneration_++;
      meet_.notify_all();
      return seen;
    }
    return parties;
  }

  Uint32 Find(const String& id) const {
    for (Uint32 i = 0; i < widgets_.size(); i++) {
      if (String::equal(KeyOf(widgets_[i].getPath()), id)) return i;
    }
    return PEG_NOT_FOUND;
  }

  CIMOMHandle cimom_;
  Mutex mutex_;
  Array<CIMInstance> widgets_;

  std::mutex meetLock_;
  std::condition_variable meet_;
  Uint32 arrived_ = 0;
  Uint32 meetGeneration_ = 0;
};

// --- Test_Gadget ---------------------------------------------------------------

class TestGadgetProvider : public ReadOnlyProvider {
 public:
  virtual void getInstance(const OperationContext&, const CIMObjectPath& ref, const Boolean,
                           const Boolean, const CIMPropertyList&,
                           InstanceResponseHandler& handler) {
    handler.processing();
    String id = KeyOf(ref);
    if (id == "g1" || id == "g2") handler.deliver(MakeGadget(id));
    handler.complete();
  }

  virtual void enumerateInstances(const OperationContext&, const CIMObjectPath&, const Boolean,
                                  const Boolean, const CIMPropertyList&,
                                  InstanceResponseHandler& handler) {
    handler.processing();
    handler.deliver(MakeGadget("g1"));
    handler.deliver(MakeGadget("g2"));
    handler.complete();
  }

  virtual void enumerateInstanceNames(const OperationContext&, const CIMObjectPath&,
                                      ObjectPathResponseHandler& handler) {
    handler.processing();
    handler.deliver(MakeGadget("g1").getPath());
    handler.deliver(MakeGadget("g2").getPath());
    handler.complete();
  }

 private:
  static CIMInstance MakeGadget(const String& id) {
    CIMInstance inst(CIMName("Test_Gadget"));
    inst.addProperty(CIMProperty(CIMName("Id"), CIMValue(id)));
    inst.addProperty(CIMProperty(CIMName("Color"), CIMValue(String("black"))));
    inst.addProperty(CIMProperty(CIMName("Extra"), CIMValue(String("gadget only"))));
    inst.setPath(LocalPath(CIMName("Test_Gadget"), id));
    return inst;
  }
};

// --- Test_Bulk -----------------------------------------------------------------

class TestBulkProvider : public ReadOnlyProvider, public CIMMethodProvider {
 public:
  virtual void getInstance(const OperationContext&, const CIMObjectPath& ref, const Boolean,
                           const Boolean, const CIMPropertyList&,
                           InstanceResponseHandler& handler) {
    handler.processing();
    AutoMutex lock(mutex_);
    String id = KeyOf(ref);
    for (Uint32 i = 0; i < instances_.size(); i++) {
      if (String::equal(KeyOf(instances_[i].getPath()), id)) {
        handler.deliver(instances_[i]);
        break;
      }
    }
    handler.complete();
  }

  virtual void enumerateInstances(const OperationContext&, const CIMObjectPath&, const Boolean,
                                  const Boolean, const CIMPropertyList&,
                                  InstanceResponseHandler& handler) {
    handler.processing();
    AutoMutex lock(mutex_);
    handler.deliver(instances_);
    handler.complete();
  }

  virtual void enumerateInstanceNames(const OperationContext&, const CIMObjectPath&,
                                      ObjectPathResponseHandler& handler) {
    handler.processing();
    AutoMutex lock(mutex_);
    for (Uint32 i = 0; i < instances_.size(); i++) handler.deliver(instances_[i].getPath());
    handler.complete();
  }

  virtual void invokeMethod(const OperationContext&, const CIMObjectPath&,
                            const CIMName& methodName, const Array<CIMParamValue>& in,
                            MethodResultResponseHandler& handler) {
    if (!methodName.equal(CIMName("SetCount")) || in.size() != 1)
      throw CIMMethodNotFoundException(methodName.getString());
    handler.processing();
    Uint32 n = 0;
    in[0].getValue().get(n);
    Array<CIMInstance> built;
    built.reserveCapacity(n);
    for (Uint32 i = 0; i < n; i++) {
      char id[32];
      snprintf(id, sizeof(id), "bulk%u", i);
      CIMInstance inst(CIMName("Test_Bulk"));
      inst.addProperty(CIMProperty(CIMName("Id"), CIMValue(String(id))));
      inst.addProperty(CIMProperty(CIMName("Label"), CIMValue(String("bulk instance"))));
      inst.addProperty(CIMProperty(CIMName("Count"), CIMValue(i)));
      Array<String> tags;
      tags.append("alpha");
      tags.append("beta");
      inst.addProperty(CIMProperty(CIMName("Tags"), CIMValue(tags)));
      inst.addProperty(CIMProperty(CIMName("Caption"), CIMValue(String("caption text"))));
      inst.addProperty(
          CIMProperty(CIMName("Description"), CIMValue(String("a longer description text"))));
      inst.setPath(LocalPath(CIMName("Test_Bulk"), String(id)));
      built.append(inst);
    }
    AutoMutex lock(mutex_);
    instances_ = built;
    handler.deliver(CIMValue(n));
    handler.complete();
  }

 private:
  Mutex mutex_;
  Array<CIMInstance> instances_;
};

class TestInitFailsProvider : public TestGadgetProvider {
 public:
  virtual void initialize(CIMOMHandle& cimom) {
    TestGadgetProvider::initialize(cimom);
    throw CIMOperationFailedException("cannot reach the device");
  }
};

}  // namespace

extern "C" PEGASUS_EXPORT CIMProvider* PegasusCreateProvider(const String& name) {
  if (String::equalNoCase(name, "TestWidgetProvider")) return new TestWidgetProvider();
  if (String::equalNoCase(name, "TestGadgetProvider")) return new TestGadgetProvider();
  if (String::equalNoCase(name, "TestBulkProvider")) return new TestBulkProvider();
  if (String::equalNoCase(name, "TestInitFailsProvider")) return new TestInitFailsProvider();
  return 0;
}

/// "created=N initialized=N terminated=N deleted=N" (test hook, not part of the API).
extern "C" PEGASUS_EXPORT const char* TestProviderLifecycle() {
  static char text[128];
  snprintf(text, sizeof(text), "created=%d initialized=%d terminated=%d deleted=%d",
           g_created.load(), g_initialized.load(), g_terminated.load(), g_deleted.load());
  return text;
}
