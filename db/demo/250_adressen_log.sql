-- The address module's "Bearbeitet:" button opens the change log of the shown address, and shows
-- itself as a link.
INSERT INTO f2poss (modulname, feldname, f2_standard)
VALUES ('TFormAdress', 'BtAuditLog', 'ADRESSEN_AENDERUNGEN');
INSERT INTO modul_field (modulname, feldname) VALUES ('TFormAdress', 'BtAuditLog');
