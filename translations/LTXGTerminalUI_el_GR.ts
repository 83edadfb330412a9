<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="el_GR">
<context>
    <name>Audio</name>
    <message>
        <source>Audio</source>
        <translation>Ήχος</translation>
    </message>
    <message>
        <source>Sound</source>
        <translation>Ήχος</translation>
    </message>
    <message>
        <source>Sound enabled</source>
        <translation>Ήχος ενεργός</translation>
    </message>
    <message>
        <source>Sounds of the validation results</source>
        <translation>Ήχοι των αποτελεσμάτων επικύρωσης</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Ένταση</translation>
    </message>
    <message>
        <source>Test sound</source>
        <translation>Δοκιμαστικός ήχος</translation>
    </message>
    <message>
        <source>PLAY</source>
        <translation>ΑΝΑΠΑΡΑΓΩΓΗ</translation>
    </message>
</context>
<context>
    <name>CustomPopup</name>
    <message>
        <source>CANCEL</source>
        <translation>ΑΚΥΡΟ</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ΟΚ</translation>
    </message>
</context>
<context>
    <name>Diagnostics</name>
    <message>
        <source>Diagnostics</source>
        <translation>Διαγνωστικά</translation>
    </message>
    <message>
        <source>RTC</source>
        <translation>RTC</translation>
    </message>
    <message>
        <source>Ethernet</source>
        <translation>Ethernet</translation>
    </message>
    <message>
        <source>USB Hub</source>
        <translation>USB Hub</translation>
    </message>
    <message>
        <source>USB Host</source>
        <translation>USB Host</translation>
    </message>
    <message>
        <source>FTDI</source>
        <translation>FTDI</translation>
    </message>
    <message>
        <source>mPCIe #1</source>
        <translation>mPCIe #1</translation>
    </message>
    <message>
        <source>Touch</source>
        <translation>Οθόνη αφής</translation>
    </message>
    <message>
        <source>SD Card</source>
        <translation>Κάρτα SD</translation>
    </message>
    <message>
        <source>Ignition</source>
        <translation>Ανάφλεξη</translation>
    </message>
    <message>
        <source>Temperature</source>
        <translation>Θερμοκρασία</translation>
    </message>
    <message>
        <source>Voltage</source>
        <translation>Τάση</translation>
    </message>
    <message>
        <source>RFID</source>
        <translation>RFID</translation>
    </message>
    <message>
        <source>Barcode</source>
        <translation>Barcode</translation>
    </message>
    <message>
        <source>SAM</source>
        <translation>SAM</translation>
    </message>
    <message>
        <source>RFID Manager</source>
        <translation>Διαχείριση RFID</translation>
    </message>
    <message>
        <source>Barcode Manager</source>
        <translation>Διαχείριση barcode</translation>
    </message>
    <message>
        <source>Board Manager</source>
        <translation>Διαχείριση πλακέτας</translation>
    </message>
    <message>
        <source>Buzzer</source>
        <translation>Βομβητής</translation>
    </message>
    <message>
        <source>Front LEDs</source>
        <translation>Μπροστινά LED</translation>
    </message>
    <message>
        <source>Speaker</source>
        <translation>Ηχείο</translation>
    </message>
    <message>
        <source>Barcode Scan</source>
        <translation>Σάρωση barcode</translation>
    </message>
    <message>
        <source>Card Scan</source>
        <translation>Ανάγνωση κάρτας</translation>
    </message>
    <message>
        <source>Light Sensor</source>
        <translation>Αισθητήρας φωτός</translation>
    </message>
    <message>
        <source>Display RGB Test</source>
        <translation>Έλεγχος χρωμάτων οθόνης</translation>
    </message>
    <message>
        <source>Automatic checks</source>
        <translation>Αυτόματοι έλεγχοι</translation>
    </message>
    <message>
        <source>Operator checks</source>
        <translation>Έλεγχοι χειριστή</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ΟΚ</translation>
    </message>
    <message>
        <source>ERROR</source>
        <translation>ΣΦΑΛΜΑ</translation>
    </message>
    <message>
        <source>FINISH</source>
        <translation>ΟΛΟΚΛΗΡΩΣΗ</translation>
    </message>
    <message>
        <source>Test report</source>
        <translation>Αναφορά ελέγχου</translation>
    </message>
    <message>
        <source>MISSING</source>
        <translation>ΛΕΙΠΕΙ</translation>
    </message>
</context>
<context>
    <name>Display</name>
    <message>
        <source>Display</source>
        <translation>Οθόνη</translation>
    </message>
    <message>
        <source>Brightness</source>
        <translation>Φωτεινότητα</translation>
    </message>
    <message>
        <source>Automatic brightness</source>
        <translation>Αυτόματη φωτεινότητα</translation>
    </message>
    <message>
        <source>Ambient light: %1%</source>
        <translation>Φως περιβάλλοντος: %1%</translation>
    </message>
    <message>
        <source>Set by the light sensor</source>
        <translation>Από τον αισθητήρα φωτός</translation>
    </message>
    <message>
        <source>Power and cursor</source>
        <translation>Τροφοδοσία και δείκτης</translation>
    </message>
    <message>
        <source>Display off after (minutes)</source>
        <translation>Σβήσιμο οθόνης μετά από (λεπτά)</translation>
    </message>
    <message>
        <source>On the out-of-order and out-of-service screens; 0 keeps it on</source>
        <translation>Στις οθόνες βλάβης και εκτός υπηρεσίας· με 0 μένει αναμμένη</translation>
    </message>
    <message>
        <source>Show mouse cursor</source>
        <translation>Εμφάνιση δείκτη ποντικιού</translation>
    </message>
</context>
<context>
    <name>EntryGate</name>
    <message>
        <source>Press button for entry</source>
        <translation>Πατήστε το κουμπί για είσοδο</translation>
    </message>
    <message>
        <source>Please insert your card</source>
        <translation>Παρακαλώ εισάγετε την κάρτα σας</translation>
    </message>
    <message>
        <source>Please wait</source>
        <translation>Παρακαλώ περιμένετε</translation>
    </message>
    <message>
        <source>Please collect your card</source>
        <translation>Παρακαλώ πάρτε την κάρτα σας</translation>
    </message>
    <message>
        <source>Have a nice trip</source>
        <translation>Καλό ταξίδι</translation>
    </message>
    <message>
        <source>Successful transaction 
 Please wait until the road is free</source>
        <translation>Επιτυχής συναλλαγή 
 Παρακαλώ περιμένετε μέχρι να ελευθερωθεί ο δρόμος</translation>
    </message>
</context>
<context>
    <name>Ethernet</name>
    <message>
        <source>Ethernet</source>
        <translation>Ethernet</translation>
    </message>
    <message>
        <source>Automatic (DHCP)</source>
        <translation>Αυτόματα (DHCP)</translation>
    </message>
    <message>
        <source>Static</source>
        <translation>Στατική</translation>
    </message>
    <message>
        <source>Interface</source>
        <translation>Διεπαφή</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Κατάσταση</translation>
    </message>
    <message>
        <source>Reason</source>
        <translation>Αιτία</translation>
    </message>
    <message>
        <source>MAC address</source>
        <translation>Διεύθυνση MAC</translation>
    </message>
    <message>
        <source>Addressing</source>
        <translation>Διευθυνσιοδότηση</translation>
    </message>
    <message>
        <source>IPv4</source>
        <translation>IPv4</translation>
    </message>
    <message>
        <source>IP address</source>
        <translation>Διεύθυνση IP</translation>
    </message>
    <message>
        <source>Netmask</source>
        <translation>Μάσκα δικτύου</translation>
    </message>
    <message>
        <source>Gateway</source>
        <translation>Πύλη</translation>
    </message>
    <message>
        <source>DNS servers</source>
        <translation>Διακομιστές DNS</translation>
    </message>
    <message>
        <source>CONFIGURE</source>
        <translation>ΡΥΘΜΙΣΗ</translation>
    </message>
</context>
<context>
    <name>EthernetConfig</name>
    <message>
        <source>Ethernet configuration</source>
        <translation>Ρυθμίσεις Ethernet</translation>
    </message>
    <message>
        <source>Addressing</source>
        <translation>Διευθυνσιοδότηση</translation>
    </message>
    <message>
        <source>Method</source>
        <translation>Μέθοδος</translation>
    </message>
    <message>
        <source>Automatic (DHCP)</source>
        <translation>Αυτόματα (DHCP)</translation>
    </message>
    <message>
        <source>Static</source>
        <translation>Στατική</translation>
    </message>
    <message>
        <source>Static addresses</source>
        <translation>Στατικές διευθύνσεις</translation>
    </message>
    <message>
        <source>IP address</source>
        <translation>Διεύθυνση IP</translation>
    </message>
    <message>
        <source>Required, e.g. 192.168.1.20</source>
        <translation>Υποχρεωτικό, π.χ. 192.168.1.20</translation>
    </message>
    <message>
        <source>Netmask</source>
        <translation>Μάσκα δικτύου</translation>
    </message>
    <message>
        <source>Required, e.g. 255.255.255.0</source>
        <translation>Υποχρεωτικό, π.χ. 255.255.255.0</translation>
    </message>
    <message>
        <source>Gateway</source>
        <translation>Πύλη</translation>
    </message>
    <message>
        <source>Not a valid address</source>
        <translation>Μη έγκυρη διεύθυνση</translation>
    </message>
    <message>
        <source>DNS server 1</source>
        <translation>Διακομιστής DNS 1</translation>
    </message>
    <message>
        <source>DNS server 2</source>
        <translation>Διακομιστής DNS 2</translation>
    </message>
    <message>
        <source>UNDO CHANGES</source>
        <translation>ΑΝΑΙΡΕΣΗ ΑΛΛΑΓΩΝ</translation>
    </message>
    <message>
        <source>SAVE</source>
        <translation>ΑΠΟΘΗΚΕΥΣΗ</translation>
    </message>
</context>
<context>
    <name>EventLog</name>
    <message>
        <source>Event Log</source>
        <translation>Αρχείο συμβάντων</translation>
    </message>
    <message>
        <source>All history</source>
        <translation>Όλο το ιστορικό</translation>
    </message>
    <message>
        <source>Last hour</source>
        <translation>Τελευταία ώρα</translation>
    </message>
    <message>
        <source>Last 2 hours</source>
        <translation>Τελευταίες 2 ώρες</translation>
    </message>
    <message>
        <source>Today</source>
        <translation>Σήμερα</translation>
    </message>
    <message>
        <source>Yesterday</source>
        <translation>Χθες</translation>
    </message>
    <message>
        <source>Last week</source>
        <translation>Τελευταία εβδομάδα</translation>
    </message>
    <message>
        <source>Last month</source>
        <translation>Τελευταίος μήνας</translation>
    </message>
    <message>
        <source>All categories</source>
        <translation>Κάθε κατηγορία</translation>
    </message>
    <message>
        <source>General</source>
        <translation>Γενικά</translation>
    </message>
    <message>
        <source>Board</source>
        <translation>Πλακέτα</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Αναζήτηση</translation>
    </message>
    <message>
        <source>No events</source>
        <translation>Δεν υπάρχουν συμβάντα</translation>
    </message>
</context>
<context>
    <name>ExitGate</name>
    <message>
        <source>Have a nice trip</source>
        <translation>Καλό ταξίδι</translation>
    </message>
    <message>
        <source>Front plate</source>
        <translation>Μπροστινή πινακίδα</translation>
    </message>
    <message>
        <source>Rear plate</source>
        <translation>Πίσω πινακίδα</translation>
    </message>
</context>
<context>
    <name>GUIManager</name>
    <message>
        <source>Initializing</source>
        <translation>Αρχικοποίηση</translation>
    </message>
    <message>
        <source>Rebooting</source>
        <translation>Επανεκκίνηση</translation>
    </message>
    <message>
        <source>Shutting down</source>
        <translation>Τερματισμός λειτουργίας</translation>
    </message>
    <message>
        <source>Please Wait</source>
        <translation>Παρακαλώ περιμένετε</translation>
    </message>
    <message>
        <source>Exiting</source>
        <translation>Τερματισμός εφαρμογής</translation>
    </message>
    <message>
        <source>Connecting</source>
        <translation>Σύνδεση</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>Συνδέθηκε</translation>
    </message>
    <message>
        <source>Please scan your documents 
 Unable to issue a card due to an error in the previous step</source>
        <translation>Παρακαλώ σαρώστε τα έγγραφά σας 
 Δεν είναι δυνατή η έκδοση κάρτας λόγω σφάλματος στο προηγούμενο βήμα</translation>
    </message>
    <message>
        <source>There are no cards available 
 Please wait for assistance</source>
        <translation>Δεν υπάρχουν διαθέσιμες κάρτες 
 Παρακαλώ περιμένετε για βοήθεια</translation>
    </message>
    <message>
        <source>Please try again</source>
        <translation>Παρακαλώ δοκιμάστε ξανά</translation>
    </message>
    <message>
        <source>The device is currently Out Of Service 
 Please wait for assistance</source>
        <translation>Η συσκευή είναι προσωρινά εκτός υπηρεσίας 
 Παρακαλώ περιμένετε για βοήθεια</translation>
    </message>
    <message>
        <source>Invalid Card 
 Please insert the correct card</source>
        <translation>Μη έγκυρη κάρτα 
 Παρακαλώ εισάγετε τη σωστή κάρτα</translation>
    </message>
    <message>
        <source>Barrier Error 
 Please wait for assistance</source>
        <translation>Σφάλμα μπάρας 
 Παρακαλώ περιμένετε για βοήθεια</translation>
    </message>
    <message>
        <source>Camera Error 
 Please wait for assistance</source>
        <translation>Σφάλμα κάμερας 
 Παρακαλώ περιμένετε για βοήθεια</translation>
    </message>
    <message>
        <source>The device is Out Of Order</source>
        <translation>Η συσκευή είναι εκτός λειτουργίας</translation>
    </message>
    <message>
        <source>Unregistered device</source>
        <translation>Μη καταχωρημένη συσκευή</translation>
    </message>
    <message>
        <source>Issuing card</source>
        <translation>Έκδοση κάρτας</translation>
    </message>
    <message>
        <source>Card collected</source>
        <translation>Η κάρτα παραλήφθηκε</translation>
    </message>
    <message>
        <source>Preparing next card</source>
        <translation>Προετοιμασία επόμενης κάρτας</translation>
    </message>
    <message>
        <source>Ready to issue card</source>
        <translation>Έτοιμο για έκδοση κάρτας</translation>
    </message>
    <message>
        <source>Permission denied</source>
        <translation>Δεν επιτρέπεται η πρόσβαση</translation>
    </message>
    <message>
        <source>No such file or directory</source>
        <translation>Το αρχείο ή ο φάκελος δεν υπάρχει</translation>
    </message>
    <message>
        <source>Read-only file system</source>
        <translation>Το σύστημα αρχείων είναι μόνο για ανάγνωση</translation>
    </message>
    <message>
        <source>No space left on device</source>
        <translation>Δεν υπάρχει ελεύθερος χώρος στη συσκευή</translation>
    </message>
    <message>
        <source>Is a directory</source>
        <translation>Είναι φάκελος</translation>
    </message>
    <message>
        <source>Input/output error</source>
        <translation>Σφάλμα εισόδου/εξόδου</translation>
    </message>
</context>
<context>
    <name>ImageBox</name>
    <message>
        <source>Image not available</source>
        <translation>Η εικόνα δεν είναι διαθέσιμη</translation>
    </message>
</context>
<context>
    <name>InitPage</name>
    <message>
        <source>Device serial number</source>
        <translation>Σειριακός αριθμός συσκευής</translation>
    </message>
    <message>
        <source>C12345678</source>
        <translation>C12345678</translation>
    </message>
    <message>
        <source>C or K followed by 8 digits</source>
        <translation>C ή K και 8 ψηφία</translation>
    </message>
    <message>
        <source>SAVE</source>
        <translation>ΑΠΟΘΗΚΕΥΣΗ</translation>
    </message>
    <message>
        <source>Please confirm the serial number</source>
        <translation>Παρακαλώ επιβεβαιώστε τον σειριακό αριθμό</translation>
    </message>
</context>
<context>
    <name>Invalid</name>
    <message>
        <source>Invalid ticket</source>
        <translation>Μη έγκυρο εισιτήριο</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>From</source>
        <translation>Από</translation>
    </message>
    <message>
        <source>To</source>
        <translation>Προς</translation>
    </message>
    <message>
        <source>Activated</source>
        <translation>Ενεργοποίηση</translation>
    </message>
    <message>
        <source>Expires</source>
        <translation>Λήξη</translation>
    </message>
    <message>
        <source>Deducted</source>
        <translation>Χρέωση</translation>
    </message>
    <message>
        <source>Remaining</source>
        <translation>Υπόλοιπο</translation>
    </message>
    <message>
        <source>Transfer minutes left</source>
        <translation>Λεπτά μετεπιβίβασης που απομένουν</translation>
    </message>
</context>
<context>
    <name>Login</name>
    <message>
        <source>Enter PIN</source>
        <translation>Εισάγετε PIN</translation>
    </message>
    <message>
        <source>Access granted</source>
        <translation>Η πρόσβαση επιτράπηκε</translation>
    </message>
    <message>
        <source>Wrong PIN, please try again</source>
        <translation>Λάθος PIN, δοκιμάστε ξανά</translation>
    </message>
</context>
<context>
    <name>Main</name>
    <message>
        <source>Validator</source>
        <translation>Ακυρωτικό</translation>
    </message>
    <message>
        <source>Validator information and settings</source>
        <translation>Πληροφορίες και ρυθμίσεις ακυρωτικού</translation>
    </message>
    <message>
        <source>Diagnostics</source>
        <translation>Διαγνωστικά</translation>
    </message>
    <message>
        <source>System health and diagnostic</source>
        <translation>Υγεία συστήματος και διαγνωστικά</translation>
    </message>
    <message>
        <source>Region</source>
        <translation>Περιοχή</translation>
    </message>
    <message>
        <source>Date, time and languange settings</source>
        <translation>Ρυθμίσεις ημερομηνίας, ώρας και γλώσσας</translation>
    </message>
    <message>
        <source>Audio</source>
        <translation>Ήχος</translation>
    </message>
    <message>
        <source>Adjust audio volume</source>
        <translation>Ρύθμιση έντασης ήχου</translation>
    </message>
    <message>
        <source>Display</source>
        <translation>Οθόνη</translation>
    </message>
    <message>
        <source>Adjust display brightness and mode</source>
        <translation>Ρύθμιση φωτεινότητας και λειτουργίας οθόνης</translation>
    </message>
    <message>
        <source>Network</source>
        <translation>Δίκτυο</translation>
    </message>
    <message>
        <source>Configure Ethernet, WiFi and Modem</source>
        <translation>Ρύθμιση Ethernet, WiFi και modem</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>Ενημέρωση</translation>
    </message>
    <message>
        <source>Check for software and sytem updates</source>
        <translation>Έλεγχος για ενημερώσεις λογισμικού και συστήματος</translation>
    </message>
    <message>
        <source>Event Log</source>
        <translation>Αρχείο συμβάντων</translation>
    </message>
    <message>
        <source>Examine system events and alarms</source>
        <translation>Εξέταση συμβάντων και συναγερμών του συστήματος</translation>
    </message>
    <message>
        <source>Scan Config QR</source>
        <translation>Σάρωση QR ρυθμίσεων</translation>
    </message>
    <message>
        <source>Restart Application</source>
        <translation>Επανεκκίνηση εφαρμογής</translation>
    </message>
    <message>
        <source>Reboot</source>
        <translation>Επανεκκίνηση</translation>
    </message>
    <message>
        <source>Shutdown</source>
        <translation>Τερματισμός</translation>
    </message>
    <message>
        <source>Logout</source>
        <translation>Αποσύνδεση</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Ρυθμίσεις</translation>
    </message>
    <message>
        <source>Are you sure?</source>
        <translation>Είστε σίγουροι;</translation>
    </message>
    <message>
        <source>Scan Configuration QR code</source>
        <translation>Σάρωση κωδικού QR ρυθμίσεων</translation>
    </message>
    <message>
        <source>Hold the configuration QR code in front of the barcode reader</source>
        <translation>Κρατήστε τον κωδικό QR ρυθμίσεων μπροστά στον αναγνώστη barcode</translation>
    </message>
    <message>
        <source>CONFIGURATION APPLIED</source>
        <translation>Η ΡΥΘΜΙΣΗ ΕΦΑΡΜΟΣΤΗΚΕ</translation>
    </message>
</context>
<context>
    <name>Network</name>
    <message>
        <source>Network</source>
        <translation>Δίκτυο</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Κατάσταση</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Κατάσταση</translation>
    </message>
    <message>
        <source>Connectivity</source>
        <translation>Συνδεσιμότητα</translation>
    </message>
    <message>
        <source>Host name</source>
        <translation>Όνομα υπολογιστή</translation>
    </message>
    <message>
        <source>Primary connection</source>
        <translation>Κύρια σύνδεση</translation>
    </message>
    <message>
        <source>Interface</source>
        <translation>Διεπαφή</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Τύπος</translation>
    </message>
    <message>
        <source>IP address</source>
        <translation>Διεύθυνση IP</translation>
    </message>
    <message>
        <source>Gateway</source>
        <translation>Πύλη</translation>
    </message>
    <message>
        <source>Interfaces</source>
        <translation>Διεπαφές</translation>
    </message>
    <message>
        <source>Ethernet</source>
        <translation>Ethernet</translation>
    </message>
</context>
<context>
    <name>NumberPad</name>
    <message>
        <source>CLEAR</source>
        <translation>ΣΒΗΣΙΜΟ</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ΟΚ</translation>
    </message>
</context>
<context>
    <name>OutOfOrder</name>
    <message>
        <source>Out of order</source>
        <translation>Εκτός λειτουργίας</translation>
    </message>
</context>
<context>
    <name>OutOfService</name>
    <message>
        <source>Out of service</source>
        <translation>Εκτός υπηρεσίας</translation>
    </message>
</context>
<context>
    <name>ProvisionPopUp</name>
    <message>
        <source>Provisioning</source>
        <translation>Παραμετροποίηση</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>Σειριακός αριθμός</translation>
    </message>
    <message>
        <source>Validator version</source>
        <translation>Έκδοση ακυρωτικού</translation>
    </message>
    <message>
        <source>Vehicle</source>
        <translation>Όχημα</translation>
    </message>
    <message>
        <source>RFID reader</source>
        <translation>Αναγνώστης RFID</translation>
    </message>
    <message>
        <source>Give these details to the back office to register the terminal.</source>
        <translation>Δώστε αυτά τα στοιχεία στο κέντρο ελέγχου για να καταχωρηθεί το τερματικό.</translation>
    </message>
</context>
<context>
    <name>Region</name>
    <message>
        <source>Date, time and languange settings</source>
        <translation>Ρυθμίσεις ημερομηνίας, ώρας και γλώσσας</translation>
    </message>
    <message>
        <source>Greek</source>
        <translation>Ελληνικά</translation>
    </message>
    <message>
        <source>English (US)</source>
        <translation>Αγγλικά (ΗΠΑ)</translation>
    </message>
    <message>
        <source>English (Ireland)</source>
        <translation>Αγγλικά (Ιρλανδία)</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Γλώσσα</translation>
    </message>
    <message>
        <source>Time zone</source>
        <translation>Ζώνη ώρας</translation>
    </message>
    <message>
        <source>The system did not report any time zone</source>
        <translation>Το σύστημα δεν ανέφερε ζώνη ώρας</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Άγνωστο</translation>
    </message>
    <message>
        <source>Network time</source>
        <translation>Ώρα δικτύου</translation>
    </message>
    <message>
        <source>Automatic time (NTP)</source>
        <translation>Αυτόματη ώρα (NTP)</translation>
    </message>
    <message>
        <source>Synchronised</source>
        <translation>Συγχρονισμένο</translation>
    </message>
    <message>
        <source>Not synchronised</source>
        <translation>Χωρίς συγχρονισμό</translation>
    </message>
    <message>
        <source>NTP server</source>
        <translation>Διακομιστής NTP</translation>
    </message>
    <message>
        <source>Use a host name or an address</source>
        <translation>Όνομα υπολογιστή ή διεύθυνση</translation>
    </message>
    <message>
        <source>pool.ntp.org</source>
        <translation>pool.ntp.org</translation>
    </message>
    <message>
        <source>APPLY</source>
        <translation>ΕΦΑΡΜΟΓΗ</translation>
    </message>
    <message>
        <source>Synchronise the clock now</source>
        <translation>Συγχρονισμός ρολογιού τώρα</translation>
    </message>
    <message>
        <source>SYNC NOW</source>
        <translation>ΣΥΓΧΡΟΝΙΣΜΟΣ</translation>
    </message>
    <message>
        <source>The time zone was not changed: %1</source>
        <translation>Η ζώνη ώρας δεν άλλαξε: %1</translation>
    </message>
</context>
<context>
    <name>SettingsPopUp</name>
    <message>
        <source>CLOSE</source>
        <translation>ΚΛΕΙΣΙΜΟ</translation>
    </message>
</context>
<context>
    <name>Transaction</name>
    <message>
        <source>The ticket is invalid</source>
        <translation>Το εισιτήριο δεν είναι έγκυρο</translation>
    </message>
    <message>
        <source>The ticket has expired</source>
        <translation>Το εισιτήριο έχει λήξει</translation>
    </message>
    <message>
        <source>The ticket is not allowed in this route</source>
        <translation>Το εισιτήριο δεν ισχύει σε αυτή τη διαδρομή</translation>
    </message>
    <message>
        <source>The ticket has already been validated</source>
        <translation>Το εισιτήριο έχει ήδη επικυρωθεί</translation>
    </message>
    <message>
        <source>The ticket is not yet active</source>
        <translation>Το εισιτήριο δεν έχει ενεργοποιηθεί ακόμη</translation>
    </message>
    <message>
        <source>Please try again</source>
        <translation>Παρακαλώ δοκιμάστε ξανά</translation>
    </message>
    <message>
        <source>The ticket does not belong to this operator</source>
        <translation>Το εισιτήριο δεν ανήκει σε αυτόν τον φορέα</translation>
    </message>
    <message>
        <source>The ticket has an invalid passenger profile</source>
        <translation>Το εισιτήριο έχει μη έγκυρο προφίλ επιβάτη</translation>
    </message>
    <message>
        <source>The ticket is not allowed in this axis</source>
        <translation>Το εισιτήριο δεν ισχύει σε αυτόν τον άξονα</translation>
    </message>
    <message>
        <source>The ticket is not allowed in this zone</source>
        <translation>Το εισιτήριο δεν ισχύει σε αυτή τη ζώνη</translation>
    </message>
    <message>
        <source>The ticket has invalid timestamp</source>
        <translation>Το εισιτήριο έχει μη έγκυρη χρονοσήμανση</translation>
    </message>
    <message>
        <source>The card is invalid</source>
        <translation>Η κάρτα δεν είναι έγκυρη</translation>
    </message>
    <message>
        <source>The card has expired</source>
        <translation>Η κάρτα έχει λήξει</translation>
    </message>
    <message>
        <source>The card is not allowed in this route</source>
        <translation>Η κάρτα δεν ισχύει σε αυτή τη διαδρομή</translation>
    </message>
    <message>
        <source>The card has already been validated</source>
        <translation>Η κάρτα έχει ήδη επικυρωθεί</translation>
    </message>
    <message>
        <source>The card does not have enough trips</source>
        <translation>Η κάρτα δεν έχει αρκετές διαδρομές</translation>
    </message>
    <message>
        <source>The card does not have sufficient balance</source>
        <translation>Η κάρτα δεν έχει επαρκές υπόλοιπο</translation>
    </message>
    <message>
        <source>This card can no longer be used</source>
        <translation>Αυτή η κάρτα δεν μπορεί πλέον να χρησιμοποιηθεί</translation>
    </message>
    <message>
        <source>The card is not active</source>
        <translation>Η κάρτα δεν είναι ενεργή</translation>
    </message>
    <message>
        <source>The card does not belong to this operator</source>
        <translation>Η κάρτα δεν ανήκει σε αυτόν τον φορέα</translation>
    </message>
    <message>
        <source>The card is blocked</source>
        <translation>Η κάρτα είναι μπλοκαρισμένη</translation>
    </message>
    <message>
        <source>The product is blocked</source>
        <translation>Το προϊόν είναι μπλοκαρισμένο</translation>
    </message>
    <message>
        <source>The product is not yet active</source>
        <translation>Το προϊόν δεν έχει ενεργοποιηθεί ακόμη</translation>
    </message>
    <message>
        <source>Internal Error</source>
        <translation>Εσωτερικό σφάλμα</translation>
    </message>
    <message>
        <source>Unknown Error</source>
        <translation>Άγνωστο σφάλμα</translation>
    </message>
</context>
<context>
    <name>Unregistered</name>
    <message>
        <source>Unregistered device</source>
        <translation>Μη καταχωρημένη συσκευή</translation>
    </message>
    <message>
        <source>Serial number: %1</source>
        <translation>Σειριακός αριθμός: %1</translation>
    </message>
    <message>
        <source>IP address: %1</source>
        <translation>Διεύθυνση IP: %1</translation>
    </message>
</context>
<context>
    <name>Update</name>
    <message>
        <source>Update</source>
        <translation>Ενημέρωση</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>Αποσυνδεδεμένο</translation>
    </message>
    <message>
        <source>Checking for updates</source>
        <translation>Έλεγχος για ενημερώσεις</translation>
    </message>
    <message>
        <source>Ready to install</source>
        <translation>Έτοιμο για εγκατάσταση</translation>
    </message>
    <message>
        <source>No pending updates</source>
        <translation>Δεν υπάρχουν εκκρεμείς ενημερώσεις</translation>
    </message>
    <message>
        <source>Downloading</source>
        <translation>Λήψη</translation>
    </message>
    <message>
        <source>Installing</source>
        <translation>Εγκατάσταση</translation>
    </message>
    <message>
        <source>Software</source>
        <translation>Λογισμικό</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Κατάσταση</translation>
    </message>
    <message>
        <source>Installed version</source>
        <translation>Εγκατεστημένη έκδοση</translation>
    </message>
    <message>
        <source>Available version</source>
        <translation>Διαθέσιμη έκδοση</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Πρόοδος</translation>
    </message>
    <message>
        <source>CHECK FOR UPDATES</source>
        <translation>ΕΛΕΓΧΟΣ ΕΝΗΜΕΡΩΣΕΩΝ</translation>
    </message>
    <message>
        <source>INSTALL</source>
        <translation>ΕΓΚΑΤΑΣΤΑΣΗ</translation>
    </message>
    <message>
        <source>Install the update?</source>
        <translation>Εγκατάσταση της ενημέρωσης;</translation>
    </message>
    <message>
        <source>Version %1 will be installed. The terminal may restart.</source>
        <translation>Θα εγκατασταθεί η έκδοση %1. Το τερματικό μπορεί να επανεκκινηθεί.</translation>
    </message>
</context>
<context>
    <name>Validator</name>
    <message>
        <source>Validator</source>
        <translation>Ακυρωτικό</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ναι</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Όχι</translation>
    </message>
    <message>
        <source>Service</source>
        <translation>Υπηρεσία</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Κατάσταση</translation>
    </message>
    <message>
        <source>Reason</source>
        <translation>Αιτία</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Έκδοση</translation>
    </message>
    <message>
        <source>Vehicle</source>
        <translation>Όχημα</translation>
    </message>
    <message>
        <source>Route</source>
        <translation>Διαδρομή</translation>
    </message>
    <message>
        <source>Device ID</source>
        <translation>Αναγνωριστικό συσκευής</translation>
    </message>
    <message>
        <source>Barcode reader</source>
        <translation>Αναγνώστης barcode</translation>
    </message>
    <message>
        <source>Active</source>
        <translation>Ενεργό</translation>
    </message>
    <message>
        <source>Enabled</source>
        <translation>Ενεργοποιημένο</translation>
    </message>
    <message>
        <source>Firmware</source>
        <translation>Υλικολογισμικό</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>Μοντέλο</translation>
    </message>
    <message>
        <source>Manufacturer</source>
        <translation>Κατασκευαστής</translation>
    </message>
    <message>
        <source>RFID reader</source>
        <translation>Αναγνώστης RFID</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Κατάσταση</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Σφάλμα</translation>
    </message>
    <message>
        <source>Device UID</source>
        <translation>UID συσκευής</translation>
    </message>
    <message>
        <source>SAM</source>
        <translation>SAM</translation>
    </message>
    <message>
        <source>SAM not present</source>
        <translation>Δεν υπάρχει SAM</translation>
    </message>
    <message>
        <source>Slot</source>
        <translation>Υποδοχή</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Όνομα</translation>
    </message>
    <message>
        <source>UID</source>
        <translation>UID</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>Λειτουργία</translation>
    </message>
    <message>
        <source>Unlocked</source>
        <translation>Ξεκλείδωτο</translation>
    </message>
    <message>
        <source>Production</source>
        <translation>Παραγωγή</translation>
    </message>
    <message>
        <source>PROVISIONING</source>
        <translation>ΠΑΡΑΜΕΤΡΟΠΟΙΗΣΗ</translation>
    </message>
    <message>
        <source>CONFIGURATION</source>
        <translation>ΡΥΘΜΙΣΕΙΣ</translation>
    </message>
</context>
<context>
    <name>ValidatorConfig</name>
    <message>
        <source>Validator configuration</source>
        <translation>Ρυθμίσεις ακυρωτικού</translation>
    </message>
    <message>
        <source>OBC URL</source>
        <translation>OBC URL</translation>
    </message>
    <message>
        <source>mqtt://[user[:password]@]host[:port]</source>
        <translation>mqtt://[user[:password]@]host[:port]</translation>
    </message>
    <message>
        <source>Invalid OBC URL</source>
        <translation>Μη έγκυρο OBC URL</translation>
    </message>
    <message>
        <source>Pass-back time (seconds)</source>
        <translation>Χρόνος pass-back (δευτερόλεπτα)</translation>
    </message>
    <message>
        <source>Pass-back for QR tickets</source>
        <translation>Pass-back για εισιτήρια QR</translation>
    </message>
    <message>
        <source>Show error description</source>
        <translation>Εμφάνιση περιγραφής σφάλματος</translation>
    </message>
    <message>
        <source>Shutdown delay after ignition off (seconds)</source>
        <translation>Καθυστέρηση τερματισμού μετά το σβήσιμο (δευτερόλεπτα)</translation>
    </message>
    <message>
        <source>Saved</source>
        <translation>Αποθηκεύτηκε</translation>
    </message>
    <message>
        <source>RELOAD</source>
        <translation>ΕΠΑΝΑΦΟΡΤΩΣΗ</translation>
    </message>
    <message>
        <source>SAVE</source>
        <translation>ΑΠΟΘΗΚΕΥΣΗ</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>v%1</source>
        <translation>v%1</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Σφάλμα</translation>
    </message>
</context>
<context>
    <name>manager::Board</name>
    <message>
        <source>Display</source>
        <translation>Οθόνη</translation>
    </message>
    <message>
        <source>FTDI</source>
        <translation>FTDI</translation>
    </message>
    <message>
        <source>mPCIe #1</source>
        <translation>mPCIe #1</translation>
    </message>
    <message>
        <source>mPCIe #2</source>
        <translation>mPCIe #2</translation>
    </message>
    <message>
        <source>QR Reader</source>
        <translation>Αναγνώστης QR</translation>
    </message>
    <message>
        <source>RFID Reader</source>
        <translation>Αναγνώστης RFID</translation>
    </message>
    <message>
        <source>Touch</source>
        <translation>Οθόνη αφής</translation>
    </message>
    <message>
        <source>USB Host</source>
        <translation>USB Host</translation>
    </message>
    <message>
        <source>USB Hub</source>
        <translation>USB Hub</translation>
    </message>
</context>
</TS>
