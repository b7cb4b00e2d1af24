// Smaller parts of the model: exception payloads and messages, qualifiers and
// method definitions as handles, provider-defined context containers, and
// arrays of non-trivial elements.
#include <Pegasus/Common/CIMClass.h>
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Common/OperationContext.h>
#include <Pegasus/Common/SimpleResponseHandler.h>

#include <gtest/gtest.h>

PEGASUS_USING_PEGASUS;

namespace {

TEST(Exceptions, MessagesOfTheOriginalApi) {
  EXPECT_EQ(IndexOutOfBoundsException().getMessage(), "index out of bounds");
  EXPECT_EQ(MalformedObjectNameException("x.y").getMessage(), "malformed object name: x.y");
  EXPECT_EQ(InvalidNameException("1a").getMessage(), "The CIM name is not valid: 1a");
  EXPECT_EQ(InvalidNamespaceNameException("r//x").getMessage(), "invalid CIM namespace name: r//x");
  EXPECT_EQ(TypeMismatchException().getMessage(), "type mismatch");
  EXPECT_EQ(UninitializedObjectException().getMessage(), "uninitialized object");
  MessageLoaderParms parms("Some.Id", "disk $0 on $1 ($0)", "sda", "host");
  EXPECT_EQ(CIMException(CIM_ERR_FAILED, parms).getMessage(), "disk sda on host (sda)");
  CIMException plain;
  EXPECT_EQ(plain.getCode(), CIM_ERR_SUCCESS);
  EXPECT_EQ(plain.getMessage(), "");
}

TEST(Exceptions, EmbeddedErrorsAreKeptPerCopy) {
  CIMInstance err("CIM_Error");
  CIMException e(CIM_ERR_NOT_FOUND, "gone", err);
  CIMException copy = e;
  copy.addError(CIMInstance("CIM_Error"));
  EXPECT_EQ(e.getErrorCount(), 1u);
  EXPECT_EQ(copy.getErrorCount(), 2u);
  EXPECT_EQ(e.getError(0).getClassName().getString(), "CIM_Error");
  EXPECT_THROW(e.getError(1), IndexOutOfBoundsException);
  // Caught through the base, the code and message survive.
  try {
    throw copy;
  } catch (const Exception& base) {
    const auto* cim = dynamic_cast<const CIMException*>(&base);
    ASSERT_NE(cim, nullptr);
    EXPECT_EQ(cim->getCode(), CIM_ERR_NOT_FOUND);
    EXPECT_EQ(base.getMessage(), "gone");
  }
}

TEST(Qualifiers, HandlesClonesAndDuplicates) {
  CIMProperty p("Size", Uint64(0));
  CIMQualifier units("Units", String("Bytes"));
  p.addQualifier(units);
  EXPECT_THROW(p.addQualifier(CIMQualifier("UNITS", String("KB"))), AlreadyExistsException);
  units.setValue(CIMValue(String("KiloBytes")));  // shared with the property
  String v;
  p.getQualifier(p.findQualifier("units")).getValue().get(v);
  EXPECT_EQ(v, "KiloBytes");
  CIMProperty c = p.clone();
  units.setValue(CIMValue(String("Bits")));
  c.getQualifier(0).getValue().get(v);
  EXPECT_EQ(v, "KiloBytes");
  EXPECT_FALSE(p.identical(c));
  EXPECT_THROW(CIMQualifier(CIMName(), true), UninitializedObjectException);
}

TEST(ClassFlags, AssociationAndAbstractQualifiers) {
  CIMClass plain("X");
  EXPECT_FALSE(plain.isAbstract());
  CIMClass abstract("Y");
  abstract.addQualifier(CIMQualifier("Abstract", true));
  abstract.addQualifier(CIMQualifier("Association", false));
  EXPECT_TRUE(abstract.isAbstract());
  EXPECT_FALSE(abstract.isAssociation());
  EXPECT_THROW(abstract.setPath(CIMObjectPath("Z")), TypeMismatchException);
  EXPECT_THROW(CIMClass{CIMName()}, UninitializedObjectException);
}

// A container a provider might define for itself.
class TraceContainer : public OperationContext::Container {
 public:
  explicit TraceContainer(int id) : _id(id) {}
  String getName() const override { return "TraceContainer"; }
  OperationContext::Container* clone() const override { return new TraceContainer(_id); }
  void destroy() override { delete this; }
  int id() const { return _id; }

 private:
  int _id;
};

TEST(OperationContextContainers, ProviderDefinedContainers) {
  OperationContext ctx;
  ctx.insert(TraceContainer(7));
  ctx.insert(IdentityContainer("u"));
  const auto& c = dynamic_cast<const TraceContainer&>(ctx.get("TraceContainer"));
  EXPECT_EQ(c.id(), 7);
  EXPECT_THROW(IdentityContainer{ctx.get("TraceContainer")}, DynamicCastFailedException);

  // A handler carries a copy of the context it was given.
  struct Handler : SimpleResponseHandler {
    OperationContext seen() const { return getContext(); }
  } handler;
  handler.setContext(ctx);
  ctx.clear();
  EXPECT_TRUE(handler.seen().contains("TraceContainer"));
}

TEST(ArrayElements, NonTrivialElementsShiftCorrectly) {
  Array<String> a;
  for (const char* s : {"a", "b", "c", "d"}) a.append(s);
  String mid[] = {"x", "y", "z"};
  a.insert(1, mid, 3);  // the tail moves entirely into fresh storage
  a.insert(6, mid, 2);  // the gap straddles live elements and fresh storage
  const char* want[] = {"a", "x", "y", "z", "b", "c", "x", "y", "d"};
  ASSERT_EQ(a.size(), 9u);
  for (Uint32 i = 0; i < a.size(); i++) EXPECT_EQ(a[i], want[i]) << i;
  a.remove(0, 4);
  EXPECT_EQ(a[0], "b");
  Array<String> b = a;
  b[0] = "changed";
  EXPECT_EQ(a[0], "b");
  a.clear();
  EXPECT_EQ(a.size(), 0u);
  EXPECT_EQ(b.size(), 5u);
}

TEST(ArrayElements, AppendingOwnElementsSurvivesReallocation) {
  Array<String> a;
  a.append(String("a long enough text to live on the heap"));
  for (int i = 0; i < 40; i++) a.append(a[0]);  // copy of an element while the storage grows
  for (int i = 0; i < 40; i++) a.append(std::move(a[Uint32(i)]));  // moved-from element stays valid
  ASSERT_EQ(a.size(), 81u);
  EXPECT_EQ(a[80], "a long enough text to live on the heap");
  EXPECT_EQ(a[40], "a long enough text to live on the heap");
  Array<String> tail(a.getData() + 41, 40);
  a.appendArray(tail);
  EXPECT_EQ(a.size(), 121u);
}

}  // namespace
