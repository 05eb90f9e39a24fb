"""The ctypes example (examples/python) on the sample data, on bytes that are not text, on
signed data, and on failures. Run as: c_api_test.py EXAMPLES-DIR, with TZO_FACTORYINFO_LIBRARY naming the library."""
import sys
import unittest

examples = sys.argv.pop(1)
sys.path.insert(0, examples + "/python")
import tzo_factoryinfo as fi  # noqa: E402

SAMPLE = examples + "/factory-data.txt"


class Example(unittest.TestCase):
    def test_reads_the_sample_and_any_bytes(self):
        info = fi.FactoryInfo(SAMPLE)
        self.assertEqual((info["SerialNumber"], len(info), info.verified),
                         ("GW4-2026-004711", 7, True))
        with open(SAMPLE, "rb") as sample:
            text, verified = fi.section("RadioCalibration", data=sample.read())
        self.assertEqual((text[:14], len(text), verified), ("# 2.4 GHz powe", 74, True))
        data = b"BeginOf\xff\nK\x00=\x00\xfe\nEndOf\xff\nBeginOfFactoryinfo\nEndOfFactoryinfo\n"
        self.assertEqual(fi.section("\udcff", data=data), ("K\x00=\x00\udcfe\n", False))
        self.assertEqual(dict(fi.FactoryInfo(data=data)), {})

    def test_raises_the_library_s_message_and_cause(self):
        with self.assertRaises(fi.FactoryDataError) as raised:
            fi.FactoryInfo(data=b"BeginOfFactoryinfo\nA=1\nEndOfFactoryinfo\nBeginOfChecksum\n"
                           b"FactoryinfoType=sha256\nFactoryinfoSum=" + b"0" * 64 +
                           b"\nEndOfChecksum\n")
        self.assertEqual((str(raised.exception), raised.exception.code, raised.exception.errno),
                         ("Calculated checksum do not match the provided one", 10, 0))
        with self.assertRaises(fi.FactoryDataError) as raised:
            fi.section("Factoryinfo", "/nonexistent/factory")
        self.assertEqual((str(raised.exception), raised.exception.cause),
                         ("unable to open factory file", "No such file or directory"))
        with self.assertRaisesRegex(ValueError, "^embedded null byte$"):
            fi.section("Factoryinfo", SAMPLE + "\0.d/file")

    def test_reads_signed_data_only(self):
        keys = [open(f"{examples}/../tests/keys/{name}.pub", "rb").read() for name in
                ("other", "station")]
        with open(f"{examples}/../tests/cases/tool-keys/verify-signed", "rb") as case:
            data = case.read().split(b"\n", 1)[1]
        try:
            self.assertEqual(fi.FactoryInfo(data=data, keys=keys)["SerialNumber"],
                             "GW4-2026-004711")
        except fi.FactoryDataError as error:
            if error.code != 16:  # 16: a library built without signatures
                raise
            self.skipTest(str(error))
        self.assertEqual(fi.section("RadioCalibration", data=data, keys=keys)[1], True)
        forged = data.replace(b"Sum=2", b"Sum=3")
        for source, code in (({"data": forged}, 30), ({"path": SAMPLE}, 21)):
            with self.assertRaises(fi.FactoryDataError) as raised:
                fi.FactoryInfo(**source, keys=keys)
            self.assertEqual(raised.exception.code, code)


if __name__ == "__main__":
    unittest.main()
