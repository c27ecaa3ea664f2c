-- Base of the stand-in ERP schema. The tables follow in their own files, applied in file-name order.
SET client_min_messages = warning;
