// Differential fuzzing of every math operation against the tests' reference model.
//
// Input: byte 0 picks the operation (VectorOperation for Vector2f, Vector3f and Vector4f in turn,
// then MatrixOperation). The bytes after it are the float operands, four bytes each in host byte
// order: the object's components first, then its operand's (a vector, a scale factor or a
// matrix); ToRadians reads one float, the degrees. Missing bytes read as 0. A result whose bits
// differ from the model's (any NaN matches any NaN), a wrong comparison, or a named operation
// that does not return its object aborts.

#include "math/FloatSupport.h"
#include "math/ReferenceModel.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using OrvelMath::Matrix4;
using OrvelMath::Vector2f;
using OrvelMath::Vector3f;
using OrvelMath::Vector4f;
using OrvelTest::VectorTraits;
namespace Reference = OrvelTest::Reference;

// The operations of one vector type. Those that take a vector operand come twice in the
// selector: with another vector, then with the object itself as the operand.
enum VectorOperation {
  kAdd,
  kSubtract,
  kDotProduct,
  kAddAssign,
  kSubtractAssign,
  kEqual,
  kNotEqual,
  kVectorOperandCount,
  kMultiply = 2 * kVectorOperandCount,
  kMultiplyAssign,
  kVectorOperationCount
};

enum MatrixOperation {
  kMatrixMultiply,
  kMatrixMultiplyAssign,
  kMatrixMultiplySelf,
  kMatrixMultiplyAssignSelf,
  kTransformVector4,
  kTransformVector3,
  kToRadians,
  kMatrixOperationCount
};

constexpr unsigned kOperationCount = 3 * kVectorOperationCount + kMatrixOperationCount;

// Reads floats from the input, four bytes at a time; past the end every byte is 0.
class Operands {
 public:
  Operands(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  float Next() {
    std::uint8_t bytes[4] = {};
    const std::size_t count = size_ < sizeof bytes ? size_ : sizeof bytes;
    std::memcpy(bytes, data_, count);
    data_ += count;
    size_ -= count;
    std::uint32_t bits;
    std::memcpy(&bits, bytes, sizeof bits);
    return OrvelTest::FromBits(bits);
  }

  template <std::size_t N>
  std::array<float, N> Next() {
    std::array<float, N> values;
    for (float& value : values) value = Next();
    return values;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

[[noreturn]] void Fail(const char* type, const char* operation, const char* what) {
  std::fprintf(stderr, "%s::%s: %s\n", type, operation, what);
  std::abort();
}

void Expect(bool ok, const char* type, const char* operation, const char* what) {
  if (!ok) Fail(type, operation, what);
}

template <std::size_t N>
void ExpectSame(const std::array<float, N>& got, const std::array<float, N>& want, const char* type,
                const char* operation) {
  for (std::size_t i = 0; i < N; ++i) {
    if (OrvelTest::Bits(got[i]) == OrvelTest::Bits(want[i])) continue;
    char what[96];
    std::snprintf(what, sizeof what, "element %zu is 0x%08X, the model gives 0x%08X", i,
                  OrvelTest::Bits(got[i]), OrvelTest::Bits(want[i]));
    Fail(type, operation, what);
  }
}

template <typename V>
const char* TypeName() {
  static const char* const kNames[] = {"Vector2f", "Vector3f", "Vector4f"};
  return kNames[VectorTraits<V>::kSize - 2];
}

// A named operation changes the object to `want` and returns the object itself.
template <typename V, std::size_t N>
void ExpectNamed(const V& object, const V& returned, const std::array<float, N>& want,
                 const char* operation) {
  Expect(&returned == &object, TypeName<V>(), operation, "does not return the object");
  ExpectSame(VectorTraits<V>::Get(object), want, TypeName<V>(), operation);
}

// A compound operator changes the object to `want` and returns a copy of it.
template <typename V, std::size_t N>
void ExpectCompound(const V& object, const V& returned, const std::array<float, N>& want,
                    const char* operation) {
  ExpectSame(VectorTraits<V>::Get(object), want, TypeName<V>(), operation);
  ExpectSame(VectorTraits<V>::Get(returned), want, TypeName<V>(), operation);
}

template <typename V>
void CheckVector(unsigned operation, Operands& operands) {
  using T = VectorTraits<V>;
  const auto a = operands.Next<T::kSize>();
  V object = T::Make(a.data());

  if (operation >= kMultiply) {
    const float s = operands.Next();
    if (operation == kMultiply) {
      return ExpectNamed(object, object.Multiply(s), Reference::Scaled(a, s), "Multiply");
    }
    const V returned = (object *= s);
    return ExpectCompound(object, returned, Reference::Scaled(a, s), "operator*=");
  }

  static const char* const kNames[2][kVectorOperandCount] = {
      {"Add", "Subtract", "DotProduct", "operator+=", "operator-=", "operator==", "operator!="},
      {"Add(self)", "Subtract(self)", "DotProduct(self)", "operator+=(self)", "operator-=(self)",
       "operator==(self)", "operator!=(self)"}};
  const bool onItself = operation >= kVectorOperandCount;
  const char* name = kNames[onItself][operation % kVectorOperandCount];
  const auto b = onItself ? a : operands.Next<T::kSize>();
  const V other = T::Make(b.data());
  const V& operand = onItself ? object : other;

  switch (operation % kVectorOperandCount) {
    case kAdd:
      return ExpectNamed(object, object.Add(operand), Reference::Sum(a, b), name);
    case kSubtract:
      return ExpectNamed(object, object.Subtract(operand), Reference::Difference(a, b), name);
    case kDotProduct:
      return ExpectSame(std::array<float, 1>{object.DotProduct(operand)},
                        std::array<float, 1>{Reference::Dot(a, b)}, TypeName<V>(), name);
    case kAddAssign: {
      const V returned = (object += operand);
      return ExpectCompound(object, returned, Reference::Sum(a, b), name);
    }
    case kSubtractAssign: {
      const V returned = (object -= operand);
      return ExpectCompound(object, returned, Reference::Difference(a, b), name);
    }
    case kEqual:
      return Expect((object == operand) == Reference::Equal(a, b), TypeName<V>(), name,
                    "wrong answer");
    default:
      return Expect((object != operand) != Reference::Equal(a, b), TypeName<V>(), name,
                    "wrong answer");
  }
}

Reference::Matrix Elements(const Matrix4& matrix) {
  Reference::Matrix elements;
  std::memcpy(elements.data(), matrix.m, sizeof matrix.m);
  return elements;
}

// Multiply(Matrix4) and *= change the matrix to the product and return it.
void ExpectProduct(const Matrix4& object, const Matrix4& returned, const Reference::Matrix& want,
                   const char* operation) {
  Expect(&returned == &object, "Matrix4", operation, "does not return the object");
  ExpectSame(Elements(object), want, "Matrix4", operation);
}

void CheckMatrix(unsigned operation, Operands& operands) {
  if (operation == kToRadians) {
    const float degrees = operands.Next();
    ExpectSame(std::array<float, 1>{OrvelMath::ToRadians(degrees)},
               std::array<float, 1>{Reference::ToRadians(degrees)}, "OrvelMath", "ToRadians");
    return;
  }

  const Reference::Matrix a = operands.Next<16>();
  Matrix4 object;
  std::memcpy(object.m, a.data(), sizeof object.m);
  const Matrix4& self = object;
  switch (operation) {
    case kMatrixMultiplySelf:
      return ExpectProduct(object, object.Multiply(self), Reference::Product(a, a),
                           "Multiply(self)");
    case kMatrixMultiplyAssignSelf:
      return ExpectProduct(object, object *= self, Reference::Product(a, a), "operator*=(self)");
    case kTransformVector4: {
      const auto v = operands.Next<4>();
      const Vector4f result = object.Multiply(Vector4f(v[0], v[1], v[2], v[3]));
      return ExpectSame(VectorTraits<Vector4f>::Get(result),
                        Reference::Transform<4>(a, v[0], v[1], v[2], v[3]), "Matrix4",
                        "Multiply(Vector4f)");
    }
    case kTransformVector3: {
      const auto v = operands.Next<3>();
      const Vector3f result = object.Multiply(Vector3f(v[0], v[1], v[2]));
      return ExpectSame(VectorTraits<Vector3f>::Get(result),
                        Reference::Transform<3>(a, v[0], v[1], v[2], 1.0f), "Matrix4",
                        "Multiply(Vector3f)");
    }
    default:
      break;
  }

  const Reference::Matrix b = operands.Next<16>();
  Matrix4 other;
  std::memcpy(other.m, b.data(), sizeof other.m);
  if (operation == kMatrixMultiply) {
    ExpectProduct(object, object.Multiply(other), Reference::Product(a, b), "Multiply");
  } else {
    ExpectProduct(object, object *= other, Reference::Product(a, b), "operator*=");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned selector = data[0] % kOperationCount;
  Operands operands(data + 1, size - 1);
  const unsigned operation = selector % kVectorOperationCount;
  switch (selector / kVectorOperationCount) {
    case 0:
      CheckVector<Vector2f>(operation, operands);
      break;
    case 1:
      CheckVector<Vector3f>(operation, operands);
      break;
    case 2:
      CheckVector<Vector4f>(operation, operands);
      break;
    default:
      CheckMatrix(selector - 3 * kVectorOperationCount, operands);
      break;
  }
  return 0;
}
