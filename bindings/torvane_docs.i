/* What help() shows for _TORVANE and its proxy classes: every function and
 * method with its arguments and result types (autodoc) and what it does. The
 * texts follow the record layouts; nothing here changes behaviour. */
%feature("autodoc", "2");

%feature("docstring") IHwInfo "Handle of a hardware-information record chain. m_HwInfo is the
newest record of the chain, UsedBytes() the bytes it occupies. A bare IHwInfo()
has no chain. Handles may be dropped in any order; a deleted handle raises
ValueError when used again.";
%feature("docstring") IHwInfoRoot "IHwInfoRoot() -> the root of a chain, owning the 512-byte EEPROM image.";
%feature("docstring") IHwInfoBase "IHwInfoBase(previous) -> the base record (CRC-32 and common ID) on the
chain of handle previous.";
%feature("docstring") IHwInfoDev_Common "IHwInfoDev_Common(previous) -> reading side of the common record Common on the
chain of handle previous: Read() and the getters.";
%feature("docstring") IHwInfoDev_Common_V2 "IHwInfoDev_Common_V2(previous) -> reading side of the common record Common_V2 on the
chain of handle previous: Read() and the getters.";
%feature("docstring") IHwInfoDev_Common_V3 "IHwInfoDev_Common_V3(previous) -> reading side of the common record Common_V3 on the
chain of handle previous: Read() and the getters.";
%feature("docstring") IHwInfoDevDetail_FADC "IHwInfoDevDetail_FADC(previous) -> reading side of the detail record FADC
on the chain of handle previous (a common record): Read() and the getters.";
%feature("docstring") IHwInfoDevDetail_Cpu "IHwInfoDevDetail_Cpu(previous) -> reading side of the detail record Cpu
on the chain of handle previous (a common record): Read() and the getters.";
%feature("docstring") IHwInfoDevDetail_Cpu_V2 "IHwInfoDevDetail_Cpu_V2(previous) -> reading side of the detail record Cpu_V2
on the chain of handle previous (a common record): Read() and the getters.";
%feature("docstring") IHwInfoDevDetail_Cpu_V3 "IHwInfoDevDetail_Cpu_V3(previous) -> reading side of the detail record Cpu_V3
on the chain of handle previous (a common record): Read() and the getters.";
%feature("docstring") IHwInfoDevDetail_Cpu_V4 "IHwInfoDevDetail_Cpu_V4(previous) -> reading side of the detail record Cpu_V4
on the chain of handle previous (a common record): Read() and the getters.";
%feature("docstring") IHwInfoDevDetail_Netzteil "IHwInfoDevDetail_Netzteil(previous) -> reading side of the detail record Netzteil
on the chain of handle previous (a common record): Read() and the getters.";
%feature("docstring") IHwInfoDevDetail_Netzteil_V2 "IHwInfoDevDetail_Netzteil_V2(previous) -> reading side of the detail record Netzteil_V2
on the chain of handle previous (a common record): Read() and the getters.";
%feature("docstring") IHwInfoDevDetail_HMI "IHwInfoDevDetail_HMI(previous) -> reading side of the detail record HMI
on the chain of handle previous (a common record): Read() and the getters.";
%feature("docstring") IHwInfoDevDetail_HMI_V2 "IHwInfoDevDetail_HMI_V2(previous) -> reading side of the detail record HMI_V2
on the chain of handle previous (a common record): Read() and the getters.";
%feature("docstring") IHwInfoDevDetail_MKAIR "IHwInfoDevDetail_MKAIR(previous) -> reading side of the detail record MKAIR
on the chain of handle previous (a common record): Read() and the getters.";
%feature("docstring") IHwInfoTest_Common "IHwInfoTest_Common(previous) -> writing side of the common record Common on the
chain of handle previous: Write(buffer) and the setters, besides Read() and the getters.";
%feature("docstring") IHwInfoTest_Common_V2 "IHwInfoTest_Common_V2(previous) -> writing side of the common record Common_V2 on the
chain of handle previous: Write(buffer) and the setters, besides Read() and the getters.";
%feature("docstring") IHwInfoTest_Common_V3 "IHwInfoTest_Common_V3(previous) -> writing side of the common record Common_V3 on the
chain of handle previous: Write(buffer) and the setters, besides Read() and the getters.";
%feature("docstring") IHwInfoTestDetail_FADC "IHwInfoTestDetail_FADC(previous) -> writing side of the detail record FADC
on the chain of handle previous (a common record): Write(buffer) and the setters, besides Read() and the getters.";
%feature("docstring") IHwInfoTestDetail_Cpu "IHwInfoTestDetail_Cpu(previous) -> writing side of the detail record Cpu
on the chain of handle previous (a common record): Write(buffer) and the setters, besides Read() and the getters.";
%feature("docstring") IHwInfoTestDetail_Cpu_V2 "IHwInfoTestDetail_Cpu_V2(previous) -> writing side of the detail record Cpu_V2
on the chain of handle previous (a common record): Write(buffer) and the setters, besides Read() and the getters.";
%feature("docstring") IHwInfoTestDetail_Cpu_V3 "IHwInfoTestDetail_Cpu_V3(previous) -> writing side of the detail record Cpu_V3
on the chain of handle previous (a common record): Write(buffer) and the setters, besides Read() and the getters.";
%feature("docstring") IHwInfoTestDetail_Cpu_V4 "IHwInfoTestDetail_Cpu_V4(previous) -> writing side of the detail record Cpu_V4
on the chain of handle previous (a common record): Write(buffer) and the setters, besides Read() and the getters.";
%feature("docstring") IHwInfoTestDetail_Netzteil "IHwInfoTestDetail_Netzteil(previous) -> writing side of the detail record Netzteil
on the chain of handle previous (a common record): Write(buffer) and the setters, besides Read() and the getters.";
%feature("docstring") IHwInfoTestDetail_Netzteil_V2 "IHwInfoTestDetail_Netzteil_V2(previous) -> writing side of the detail record Netzteil_V2
on the chain of handle previous (a common record): Write(buffer) and the setters, besides Read() and the getters.";
%feature("docstring") IHwInfoTestDetail_HMI "IHwInfoTestDetail_HMI(previous) -> writing side of the detail record HMI
on the chain of handle previous (a common record): Write(buffer) and the setters, besides Read() and the getters.";
%feature("docstring") IHwInfoTestDetail_HMI_V2 "IHwInfoTestDetail_HMI_V2(previous) -> writing side of the detail record HMI_V2
on the chain of handle previous (a common record): Write(buffer) and the setters, besides Read() and the getters.";
%feature("docstring") IHwInfoTestDetail_MKAIR "IHwInfoTestDetail_MKAIR(previous) -> writing side of the detail record MKAIR
on the chain of handle previous (a common record): Write(buffer) and the setters, besides Read() and the getters.";

%feature("docstring") UsedBytes "Answers the bytes of the image that the whole chain occupies (int).";
%feature("docstring") m_HwInfo "The newest record of this handle's chain (an opaque record pointer).
Setting it to a record of another live chain makes this handle work on that
chain; a record whose handles were all deleted raises ValueError.";
%feature("docstring") Read "Read(buffer) -> bool: loads the 512-byte image from buffer (a live buffer of
new_Eprom, or None for the image already held), decodes the chain oldest record
first and checks the CRC-32. True when every record decoded and the CRC holds.
The root handle takes a buffer only; the others also Read() without argument.";
%feature("docstring") Write "Write(buffer): encodes the chain newest record first, stamps the record
identifiers and the CRC-32 and copies the 512-byte image into buffer (a live
buffer of new_Eprom holding at least 512 bytes; other objects raise TypeError,
a deleted buffer ValueError).";
%feature("docstring") IsCheckSumValid "Answers True when the CRC-32 over bytes 4 to 511 is not 0 and equals the
one stored in bytes 0 to 3.";
%feature("docstring") GetCommonID "Answers the identifier of the common record stored in the base record (int).";
%feature("docstring") GetDetailID "Answers the identifier of the detail record this common record names:
type * 256 + version (int).";
%feature("docstring") GetCalibData "GetCalibData(i, j) -> (result, a, b[, c]): the calibration values of row i,
column j (three for FADC, two for MKAIR); result is 0, or -1 for an index
outside the table (the values are then 0.0).";
%feature("docstring") SetCalibData "SetCalibData(i, j, a, b[, c]) -> int: stores the calibration values of row
i, column j; 0, or -1 for an index outside the table.";
%feature("docstring") GetMacIdValue "Answers a pointer to the 6 bytes of the first MAC address in the record
(t_mac); GetMacId() answers the same as text.";
%feature("docstring") GetMacId2Value "Answers a pointer to the 6 bytes of the second MAC address in the record
(t_mac); GetMacId2() answers the same as text.";
%feature("docstring") new_Eprom "new_Eprom(n) -> buffer: n bytes of raw memory (contents undefined) for Read
and Write, not owned by Python; None when it cannot be had. Free it with
delete_Eprom.";
%feature("docstring") delete_Eprom "delete_Eprom(buffer): frees a buffer of new_Eprom (None: nothing). The
buffer cannot be used afterwards: every function raises ValueError for it.";
%feature("docstring") Eprom_get "Eprom_get(buffer, i) -> int: byte i (0..255) of a live buffer of new_Eprom;
IndexError outside 0..n-1.";
%feature("docstring") Eprom_set "Eprom_set(buffer, i, value): stores value (0..255, else OverflowError) as
byte i of a live buffer of new_Eprom; IndexError outside 0..n-1.";

%feature("docstring") GetFaNumber "Answers the production order (FA) number of this record (str). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") GetModuleName "Answers the module name of this record (str). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") GetModuleIndex "Answers the module index of this record (str). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") GetModuleSubIndex "Answers the module sub-index of this record (int). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") GetReserve "Answers the reserve field of this record (int). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") GetCheckDate "Answers the date of the final check of this record (str). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") GetHwComponentName "Answers the hardware component name of this record (str). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") GetHwComponentRevision "Answers the hardware component revision of this record (int). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") GetThWorkorder "Answers the work order of the through-hole assembly of this record (str). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") GetThItem "Answers the item number of the through-hole assembly of this record (str). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") GetThRevision "Answers the revision of the through-hole assembly of this record (str). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") GetSmtSerialNumber "Answers the serial number of the SMT assembly of this record (str). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") GetSmtItem "Answers the item number of the SMT assembly of this record (str). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") GetSmtRevision "Answers the revision of the SMT assembly of this record (str). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") GetSerialNumber "Answers the board serial number of this record (str). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") GetDeliveryItem "Answers the delivery item number of this record (str). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") GetDeliveryRevision "Answers the delivery revision of this record (str). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") GetMacId "Answers the first MAC address (text XX-XX-XX-XX-XX-XX) of this record (str). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") GetMacId2 "Answers the second MAC address (text XX-XX-XX-XX-XX-XX) of this record (str). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") GetSystemFrequency "Answers the system frequency of this record (int). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") GetContrastOffset "Answers the display contrast offset of this record (int). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") GetDeliveryItemExtended "Answers the extended delivery item number of this record (str). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") GetDeliveryFwOrderId "Answers the firmware order id of the delivery of this record (str). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") GetCpuDetailSubversionId "Answers the sub-version id of the CPU detail record of this record (int). Record versions with
several modules or components take the module or component name first (and a key
where the version has one); an unknown name answers the empty value.";
%feature("docstring") SetFaNumber "Sets the production order (FA) number of this record from the last
argument (text); module or component name (and key) first as for GetFaNumber. Answers 0,
or -1 when the value does not fit the field or a name is unknown (nothing changes).";
%feature("docstring") SetModuleName "Sets the module name of this record from the last
argument (text); module or component name (and key) first as for GetModuleName. Answers 0,
or -1 when the value does not fit the field or a name is unknown (nothing changes).";
%feature("docstring") SetModuleIndex "Sets the module index of this record from the last
argument (text); module or component name (and key) first as for GetModuleIndex. Answers 0,
or -1 when the value does not fit the field or a name is unknown (nothing changes).";
%feature("docstring") SetModuleSubIndex "Sets the module sub-index of this record from the last
argument (number); module or component name (and key) first as for GetModuleSubIndex. Answers 0,
or -1 when the value does not fit the field or a name is unknown (nothing changes).";
%feature("docstring") SetReserve "Sets the reserve field of this record from the last
argument (number); module or component name (and key) first as for GetReserve. Answers 0,
or -1 when the value does not fit the field or a name is unknown (nothing changes).";
%feature("docstring") SetCheckDate "Sets the date of the final check of this record from the last
argument (text); module or component name (and key) first as for GetCheckDate. Answers 0,
or -1 when the value does not fit the field or a name is unknown (nothing changes).";
%feature("docstring") SetHwComponentName "Sets the hardware component name of this record from the last
argument (text); module or component name (and key) first as for GetHwComponentName. Answers 0,
or -1 when the value does not fit the field or a name is unknown (nothing changes).";
%feature("docstring") SetHwComponentRevision "Sets the hardware component revision of this record from the last
argument (number); module or component name (and key) first as for GetHwComponentRevision. Answers 0,
or -1 when the value does not fit the field or a name is unknown (nothing changes).";
%feature("docstring") SetThWorkorder "Sets the work order of the through-hole assembly of this record from the last
argument (text); module or component name (and key) first as for GetThWorkorder. Answers 0,
or -1 when the value does not fit the field or a name is unknown (nothing changes).";
%feature("docstring") SetThItem "Sets the item number of the through-hole assembly of this record from the last
argument (text); module or component name (and key) first as for GetThItem. Answers 0,
or -1 when the value does not fit the field or a name is unknown (nothing changes).";
%feature("docstring") SetThRevision "Sets the revision of the through-hole assembly of this record from the last
argument (text); module or component name (and key) first as for GetThRevision. Answers 0,
or -1 when the value does not fit the field or a name is unknown (nothing changes).";
%feature("docstring") SetSmtSerialNumber "Sets the serial number of the SMT assembly of this record from the last
argument (text); module or component name (and key) first as for GetSmtSerialNumber. Answers 0,
or -1 when the value does not fit the field or a name is unknown (nothing changes).";
%feature("docstring") SetSmtItem "Sets the item number of the SMT assembly of this record from the last
argument (text); module or component name (and key) first as for GetSmtItem. Answers 0,
or -1 when the value does not fit the field or a name is unknown (nothing changes).";
%feature("docstring") SetSmtRevision "Sets the revision of the SMT assembly of this record from the last
argument (text); module or component name (and key) first as for GetSmtRevision. Answers 0,
or -1 when the value does not fit the field or a name is unknown (nothing changes).";
%feature("docstring") SetSerialNumber "Sets the board serial number of this record from the last
argument (text); module or component name (and key) first as for GetSerialNumber. Answers 0,
or -1 when the value does not fit the field or a name is unknown (nothing changes).";
%feature("docstring") SetDeliveryItem "Sets the delivery item number of this record from the last
argument (text); module or component name (and key) first as for GetDeliveryItem. Answers 0,
or -1 when the value does not fit the field or a name is unknown (nothing changes).";
%feature("docstring") SetDeliveryRevision "Sets the delivery revision of this record from the last
argument (text); module or component name (and key) first as for GetDeliveryRevision. Answers 0,
or -1 when the value does not fit the field or a name is unknown (nothing changes).";
%feature("docstring") SetMacId "Sets the first MAC address (text XX-XX-XX-XX-XX-XX) of this record from the last
argument (text); module or component name (and key) first as for GetMacId. Answers 0,
or -1 when the value does not fit the field or a name is unknown (nothing changes).";
%feature("docstring") SetMacId2 "Sets the second MAC address (text XX-XX-XX-XX-XX-XX) of this record from the last
argument (text); module or component name (and key) first as for GetMacId2. Answers 0,
or -1 when the value does not fit the field or a name is unknown (nothing changes).";
%feature("docstring") SetSystemFrequency "Sets the system frequency of this record from the last
argument (number); module or component name (and key) first as for GetSystemFrequency. Answers 0,
or -1 when the value does not fit the field or a name is unknown (nothing changes).";
%feature("docstring") SetContrastOffset "Sets the display contrast offset of this record from the last
argument (number); module or component name (and key) first as for GetContrastOffset. Answers 0,
or -1 when the value does not fit the field or a name is unknown (nothing changes).";
