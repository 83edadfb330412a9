<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="el_GR">
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
    <name>NumberPad</name>
    <message>
        <source>CLEAR</source>
        <translation>ΚΑΘΑΡΙΣΜΟΣ</translation>
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
