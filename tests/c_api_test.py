"""The ctypes example (examples/python) on the sample data, on bytes that are not text, and on
failures. Run as: c_api_test.py EXAMPLES-DIR, with TZO_FACTORYINFO_LIBRARY naming the library."""
import sys
import unittest

examples = sys.argv.pop(1)
sys.path.insert(0, examples + "/python")
import tzo_factoryinfo  # noqa: E402

SAMPLE = examples + "/factory-data.txt"


class Example(unittest.TestCase):
    def test_reads_the_sample_by_path_and_as_bytes(self):
        info = tzo_factoryinfo.FactoryInfo(SAMPLE)
        self.assertEqual(list(info.items()), [
            ("HardwareRevision", "C2"), ("MacAddress", "00:1A:2B:3C:4D:5E"),
            ("ManufacturingDate", "2026-03-17"), ("ProductName", "TZO Gateway GW4"),
            ("Region", "EU"), ("SerialNumber", "GW4-2026-004711"), ("WifiPassword", "r7Kq=9vTz2")])
        self.assertTrue(info.verified)
        with open(SAMPLE, "rb") as sample:
            self.assertEqual(tzo_factoryinfo.section("RadioCalibration", data=sample.read()), (
                "# 2.4 GHz power table, quarter dB\nch1 68 66 64\nch6 70 68 66\nch11 66 64 62\n",
                True))

    def test_passes_nul_and_other_bytes_through(self):
        data = b"BeginOf\xff\nK\x00=\x00\xfe\nEndOf\xff\nBeginOfFactoryinfo\nEndOfFactoryinfo\n"
        self.assertEqual(tzo_factoryinfo.section("\udcff", data=data), ("K\x00=\x00\udcfe\n", False))
        self.assertEqual(dict(tzo_factoryinfo.FactoryInfo(data=data)), {})

    def test_raises_the_library_s_message_and_cause(self):
        with self.assertRaises(tzo_factoryinfo.FactoryDataError) as raised:
            tzo_factoryinfo.FactoryInfo(data=b"BeginOfFactoryinfo\nA=1\nEndOfFactoryinfo\n"
                                        b"BeginOfChecksum\nFactoryinfoType=sha256\n"
                                        b"FactoryinfoSum=" + b"0" * 64 + b"\nEndOfChecksum\n")
        self.assertEqual(str(raised.exception), "Calculated checksum do not match the provided one")
        self.assertEqual((raised.exception.code, raised.exception.errno), (10, 0))
        with self.assertRaises(tzo_factoryinfo.FactoryDataError) as raised:
            tzo_factoryinfo.section("Factoryinfo", "/nonexistent/factory")
        self.assertEqual((str(raised.exception), raised.exception.cause),
                         ("unable to open factory file", "No such file or directory"))


if __name__ == "__main__":
    unittest.main()
